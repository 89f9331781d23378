// The gzip header is written by hand around libdeflate's raw deflate output, so that every field
// is the package's own (libdeflate's gzip wrapper would write its own OS and extra flags).
#include "gzip_writer.h"

#include <libdeflate.h>

#include <memory>

namespace kz::tool {

std::vector<uint8_t> packMember(const uint8_t* data, size_t size) {
  std::unique_ptr<libdeflate_compressor, decltype(&libdeflate_free_compressor)> compressor(
      libdeflate_alloc_compressor(12), &libdeflate_free_compressor);
  if (!compressor) return {};
  static constexpr uint8_t kHeader[10] = {0x1F, 0x8B, 8, 0, 0, 0, 0, 0, 0, 11};
  std::vector<uint8_t> member(sizeof kHeader + libdeflate_deflate_compress_bound(compressor.get(), size) + 8);
  std::copy(kHeader, kHeader + sizeof kHeader, member.begin());
  const size_t deflated = libdeflate_deflate_compress(compressor.get(), data, size, member.data() + sizeof kHeader,
                                                      member.size() - sizeof kHeader - 8);
  if (deflated == 0) return {};
  member.resize(sizeof kHeader + deflated);
  const uint32_t crc = libdeflate_crc32(0, data, size);
  const auto length = static_cast<uint32_t>(size);
  for (int i = 0; i < 4; ++i) member.push_back(static_cast<uint8_t>(crc >> (8 * i)));
  for (int i = 0; i < 4; ++i) member.push_back(static_cast<uint8_t>(length >> (8 * i)));
  return member;
}

}  // namespace kz::tool
