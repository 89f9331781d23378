// Gzip members as the package carries them, compressed by libdeflate at its strongest level.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kz::tool {

// One gzip member of data: flags 0, time 0, extra flags 0, operating system 11, raw deflate from
// libdeflate level 12, then CRC-32 and length. Empty on failure (no memory).
std::vector<uint8_t> packMember(const uint8_t* data, size_t size);

}  // namespace kz::tool
