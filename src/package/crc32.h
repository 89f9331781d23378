// CRC-32 of gzip (reflected polynomial 0xEDB88320), computed several bytes per step.
//
// Four methods give the same result: carry-less multiplication on 64-byte registers (VPCLMULQDQ
// with AVX-512), which folds 256 bytes per step, on 32-byte ones (VPCLMULQDQ with AVX2), 128 bytes
// per step, or on 16-byte ones (PCLMULQDQ), 64 bytes per step, where the processor has them, and
// slicing by sixteen tables everywhere else. The method is
// chosen once, at the first call, from the processor's feature flags; a build with
// KZ_CRC32_TABLE_ONLY always uses the tables.
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

namespace detail {
// The table method alone.
uint32_t crc32RegisterTable(uint32_t reg, const uint8_t* data, size_t length);
enum class Crc32Method { Table, Folding, WideFolding, WidestFolding };
// True when this build and this processor can run the method.
bool crc32MethodAvailable(Crc32Method method);
// One method; only to be called when crc32MethodAvailable(method).
uint32_t crc32RegisterWith(Crc32Method method, uint32_t reg, const uint8_t* data, size_t length);
}  // namespace detail

}  // namespace kz
