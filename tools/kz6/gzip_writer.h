// Gzip members as the package carries them: libdeflate at its strongest level, or, for the
// smallest package, whichever of libdeflate's and Zopfli's deflate data is smaller.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kz::tool {

enum class MemberCompressor : uint8_t { Libdeflate, Zopfli };

struct PackedMember {
  std::vector<uint8_t> bytes;  // empty on failure (no memory)
  MemberCompressor compressor = MemberCompressor::Libdeflate;
};

// The gzip member around raw deflate data: flags 0, time 0, extra flags 0, operating system 11,
// then the CRC-32 and length of data.
std::vector<uint8_t> gzipMemberAround(const uint8_t* deflated, size_t deflatedSize, const uint8_t* data,
                                      size_t size);

// One member of data compressed by libdeflate level 12. Empty on failure.
std::vector<uint8_t> packMember(const uint8_t* data, size_t size);

// With best, Zopfli compresses data as well and the smaller member is kept (libdeflate's on a tie,
// so the choice never depends on anything but the data).
PackedMember packMemberBest(const uint8_t* data, size_t size, bool best);

}  // namespace kz::tool
