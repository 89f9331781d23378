// CRC-32 of gzip (reflected polynomial 0xEDB88320), computed several bytes per step.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kz {

// Advances a CRC register (kept inverted: start with 0xFFFFFFFF, finish with XOR 0xFFFFFFFF).
uint32_t crc32Register(uint32_t reg, const uint8_t* data, size_t length);

// The CRC-32 of a whole buffer.
inline uint32_t crc32(const uint8_t* data, size_t length) {
  return crc32Register(0xFFFFFFFFu, data, length) ^ 0xFFFFFFFFu;
}

}  // namespace kz
