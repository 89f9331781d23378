// Fuzzes members that end exactly at the input's last byte, where no trailer or later bytes lie
// behind the deflate data for the decoder to look ahead into. The first byte chooses the mode, the
// second zlib's level and strategy; the rest is the payload.
//  - even mode: zlib compresses the payload, which is wrapped as a PK entry without descriptor,
//    with descriptor, stored, or as a gzip member;
//  - odd mode: the payload is deflate data as it stands; where zlib inflates it to its end, the
//    bytes it consumed are wrapped the same ways, with zlib's output as the expected content.
// Both engines must then decode the member to exactly the expected bytes and stop at its last
// byte. Payloads zlib refuses are wrapped whole, and the engines must only agree and stay inside
// the member.
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "package/inflate.h"
#include "support/gzip_fixtures.h"
#include "support/reference_inflate.h"

namespace {

using kz::test::Bytes;

const std::string& outputPath() {
  static const std::string path = [] {
    char pattern[] = "/tmp/kz-gzip-end-fuzz-XXXXXX";
    const int fd = mkstemp(pattern);
    if (fd >= 0) close(fd);
    return std::string(pattern);
  }();
  return path;
}

// zlib's raw inflate of data: true when the stream ends, with the bytes consumed and produced.
bool zlibInflate(const Bytes& data, size_t& consumed, Bytes& out) {
  z_stream s{};
  if (inflateInit2(&s, -15) != Z_OK) return false;
  s.next_in = const_cast<Bytef*>(data.data());
  s.avail_in = static_cast<uInt>(data.size());
  int r = Z_OK;
  uint8_t chunk[16384];
  while (r == Z_OK && out.size() < (8u << 20)) {
    s.next_out = chunk;
    s.avail_out = sizeof chunk;
    r = inflate(&s, Z_NO_FLUSH);
    out.insert(out.end(), chunk, chunk + (sizeof chunk - s.avail_out));
    if (r == Z_BUF_ERROR) break;
  }
  consumed = s.total_in;
  inflateEnd(&s);
  return r == Z_STREAM_END;
}

// The member around deflate data (or the stored content, for kind 2) of the expected content.
Bytes wrap(unsigned kind, const Bytes& deflated, const Bytes& expected) {
  Bytes m;
  if (kind == 3) return kz::test::wrapGzip(deflated, expected);
  const bool descriptor = kind == 1;
  const bool stored = kind == 2;
  const Bytes& payload = stored ? expected : deflated;
  kz::test::putLe32(m, 0x04034B50);
  kz::test::putLe16(m, 20);
  kz::test::putLe16(m, descriptor ? 0x08 : 0);
  kz::test::putLe16(m, stored ? 0 : 8);
  kz::test::putLe32(m, 0);  // time and date
  kz::test::putLe32(m, descriptor ? 0 : kz::test::crcOf(expected));
  kz::test::putLe32(m, descriptor ? 0 : static_cast<uint32_t>(payload.size()));
  kz::test::putLe32(m, descriptor ? 0 : static_cast<uint32_t>(expected.size()));
  kz::test::putLe16(m, 1);  // name length
  kz::test::putLe16(m, 0);  // extra length
  m.push_back('f');
  m.insert(m.end(), payload.begin(), payload.end());
  if (descriptor) {
    kz::test::putLe32(m, 0x08074B50);
    kz::test::putLe32(m, kz::test::crcOf(expected));
    kz::test::putLe32(m, static_cast<uint32_t>(payload.size()));
    kz::test::putLe32(m, static_cast<uint32_t>(expected.size()));
  }
  return m;
}

void decodeBoth(const Bytes& member, const Bytes* expected) {
  const auto size = static_cast<uint32_t>(member.size());
  kz::setInflateEngineForTesting(nullptr);
  const auto fast = kz::test::decodeMemberBytes(member, size, outputPath());
  kz::setInflateEngineForTesting(&kz::test::referenceInflateMember);
  const auto slow = kz::test::decodeMemberBytes(member, size, outputPath());
  kz::setInflateEngineForTesting(nullptr);
  std::remove(outputPath().c_str());
  if (fast.inputPosition > size) std::abort();  // read past the member
  if (fast.header != slow.header || fast.outcome != slow.outcome || fast.failure != slow.failure ||
      fast.inputPosition != slow.inputPosition || fast.output != slow.output) {
    std::abort();  // the engines disagree
  }
  if (expected != nullptr && (fast.outcome != kz::MemberOutcome::Decoded || fast.output != *expected)) {
    std::abort();  // a member that ends at the input's last byte was not decoded as zlib decodes it
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2 || size > (256u << 10)) return 0;
  const uint8_t mode = data[0];
  const int level = data[1] % 10;
  static constexpr int kStrategies[] = {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED};
  const int strategy = kStrategies[(data[1] / 10) % 5];
  const Bytes payload(data + 2, data + size);

  if ((mode & 1) == 0) {
    const Bytes deflated = kz::test::rawDeflate(payload, level, strategy);
    for (unsigned kind = 0; kind < 4; ++kind) decodeBoth(wrap(kind, deflated, payload), &payload);
    return 0;
  }
  size_t consumed = 0;
  Bytes expected;
  if (zlibInflate(payload, consumed, expected)) {
    const Bytes stream(payload.begin(), payload.begin() + static_cast<long>(consumed));
    for (unsigned kind : {0u, 1u, 3u}) decodeBoth(wrap(kind, stream, expected), &expected);
  } else {
    decodeBoth(wrap(0, payload, expected), nullptr);
  }
  return 0;
}
