// The gzip header is written by hand around the raw deflate output of either compressor, so that
// every field is the package's own (a library's gzip wrapper would write its own OS and extra flags).
#include "gzip_writer.h"

#include <libdeflate.h>
#include <zopfli/zopfli.h>

#include <cstdlib>
#include <memory>

namespace kz::tool {
namespace {

constexpr uint8_t kHeader[10] = {0x1F, 0x8B, 8, 0, 0, 0, 0, 0, 0, 11};

std::vector<uint8_t> zopfliMember(const uint8_t* data, size_t size) {
  ZopfliOptions options;
  ZopfliInitOptions(&options);
  unsigned char* out = nullptr;
  size_t outSize = 0;
  ZopfliCompress(&options, ZOPFLI_FORMAT_DEFLATE, data, size, &out, &outSize);
  std::vector<uint8_t> member;
  if (out != nullptr && outSize != 0) member = gzipMemberAround(out, outSize, data, size);
  std::free(out);
  return member;
}

}  // namespace

std::vector<uint8_t> gzipMemberAround(const uint8_t* deflated, size_t deflatedSize, const uint8_t* data,
                                      size_t size) {
  std::vector<uint8_t> member;
  member.reserve(sizeof kHeader + deflatedSize + 8);
  member.insert(member.end(), kHeader, kHeader + sizeof kHeader);
  member.insert(member.end(), deflated, deflated + deflatedSize);
  const uint32_t crc = libdeflate_crc32(0, data, size);
  const auto length = static_cast<uint32_t>(size);
  for (int i = 0; i < 4; ++i) member.push_back(static_cast<uint8_t>(crc >> (8 * i)));
  for (int i = 0; i < 4; ++i) member.push_back(static_cast<uint8_t>(length >> (8 * i)));
  return member;
}

std::vector<uint8_t> packMember(const uint8_t* data, size_t size) {
  std::unique_ptr<libdeflate_compressor, decltype(&libdeflate_free_compressor)> compressor(
      libdeflate_alloc_compressor(12), &libdeflate_free_compressor);
  if (!compressor) return {};
  std::vector<uint8_t> deflated(libdeflate_deflate_compress_bound(compressor.get(), size));
  const size_t got = libdeflate_deflate_compress(compressor.get(), data, size, deflated.data(), deflated.size());
  if (got == 0) return {};
  return gzipMemberAround(deflated.data(), got, data, size);
}

PackedMember packMemberBest(const uint8_t* data, size_t size, bool best) {
  PackedMember packed;
  packed.bytes = packMember(data, size);
  if (!best || packed.bytes.empty()) return packed;
  std::vector<uint8_t> zopfli = zopfliMember(data, size);
  if (!zopfli.empty() && zopfli.size() < packed.bytes.size()) {
    packed.bytes = std::move(zopfli);
    packed.compressor = MemberCompressor::Zopfli;
  }
  return packed;
}

}  // namespace kz::tool
