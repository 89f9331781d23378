// CRC-32 by slicing and by carry-less multiplication.
//
// Slicing: sixteen 256-entry tables derived from the byte table let the loop take sixteen bytes
// per step. The result is the same as the one-byte-per-step loop:
//   reg = table[(reg ^ byte) & 0xFF] ^ (reg >> 8).
//
// Folding: in the reflected bit order of this CRC a 16-byte little-endian load holds 128 message
// coefficients, the first byte's lowest bit being the highest power. A 128-bit chunk X followed by
// D more bits of message is worth X * x^D modulo the polynomial; split into its halves,
// X = Xh * x^64 + Xl, that is Xh * (x^(64+D) mod P) + Xl * (x^D mod P), two 64 x 32-bit carry-less
// products that land within the 128 bits of the chunk D bits further on. Four chunks are folded
// over 512 bits at a time, then into one another, then over each further 16 bytes. What remains is
// one 16-byte chunk with the same CRC as all the message before it, finished by the table method
// together with the last length % 16 bytes. The register's start value is XOR-ed into the first
// four bytes, as the table method would do.
//
// Wide folding does the same on 32-byte registers (VPCLMULQDQ), two chunks to a register: four
// registers fold eight chunks over 1024 bits at a time, and the eight are then folded over 512 bits
// into the four of the narrow loop, which finishes. Widest folding takes 64-byte registers
// (AVX-512) the same way: four fold sixteen chunks over 2048 bits at a time, and the sixteen are
// folded over 1024 bits into the eight of the wide loop. Where a processor multiplies a 64-byte
// register as fast as a 32-byte one, each width doubles the bytes per step.
#include "package/crc32.h"

#include <array>
#include <cstring>

#include "package/byte_order.h"

#if !defined(KZ_CRC32_TABLE_ONLY) && (defined(__x86_64__) || defined(__i386__)) && \
    (defined(__GNUC__) || defined(__clang__))
#define KZ_CRC32_FOLDING 1
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace kz {
namespace {

using Tables = std::array<std::array<uint32_t, 256>, 16>;

constexpr Tables makeTables() {
  Tables t{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1u) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    t[0][i] = c;
  }
  for (uint32_t i = 0; i < 256; ++i) {
    for (size_t s = 1; s < 16; ++s) t[s][i] = t[0][t[s - 1][i] & 0xFFu] ^ (t[s - 1][i] >> 8);
  }
  return t;
}

constexpr Tables kTables = makeTables();

#if defined(KZ_CRC32_FOLDING)

// x^n modulo the polynomial (normal bit order, x^32 + 0x04C11DB7), placed in a 64-bit lane in the
// reflected order: the coefficient of x^d at bit 63 - d. The product of a reflected 64-bit half
// with this lane comes out one place short of the chunk's alignment, so each constant is taken for
// one power less than the shift it stands for.
constexpr uint64_t foldConstant(unsigned n) {
  uint32_t r = 1;  // x^0
  for (unsigned i = 0; i < n; ++i) r = (r & 0x80000000u) != 0 ? (r << 1) ^ 0x04C11DB7u : r << 1;
  uint64_t lane = 0;
  for (unsigned d = 0; d < 32; ++d) {
    if (((r >> d) & 1u) != 0) lane |= uint64_t{1} << (63 - d);
  }
  return lane;
}

// For a shift of D bits: the low lane multiplies Xh by x^(64+D), the high lane Xl by x^D.
constexpr uint64_t kFold2048Low = foldConstant(64 + 2048 - 1);
constexpr uint64_t kFold2048High = foldConstant(2048 - 1);
constexpr uint64_t kFold1024Low = foldConstant(64 + 1024 - 1);
constexpr uint64_t kFold1024High = foldConstant(1024 - 1);
constexpr uint64_t kFold512Low = foldConstant(64 + 512 - 1);
constexpr uint64_t kFold512High = foldConstant(512 - 1);
constexpr uint64_t kFold128Low = foldConstant(64 + 128 - 1);
constexpr uint64_t kFold128High = foldConstant(128 - 1);

bool detectFolding() {
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (__get_cpuid(1, &a, &b, &c, &d) == 0) return false;
  const bool pclmul = (c & (1u << 1)) != 0;
  const bool sse41 = (c & (1u << 19)) != 0;
  return pclmul && sse41;
}

// The register state the operating system saves on a switch (XCR0); only called where the
// processor reports OSXSAVE.
unsigned savedRegisterState() {
  unsigned xcr0 = 0, xcr0High = 0;
  __asm__("xgetbv" : "=a"(xcr0), "=d"(xcr0High) : "c"(0));
  return xcr0;
}

// The 32-byte registers, and the operating system saving them (XCR0 bits 1 and 2), as well as the
// wide carry-less product.
bool detectWideFolding() {
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (__get_cpuid(1, &a, &b, &c, &d) == 0) return false;
  const bool osxsave = (c & (1u << 27)) != 0;
  const bool avx = (c & (1u << 28)) != 0;
  if (!osxsave || !avx || !detectFolding()) return false;
  if (__get_cpuid_count(7, 0, &a, &b, &c, &d) == 0) return false;
  const bool avx2 = (b & (1u << 5)) != 0;
  const bool vpclmul = (c & (1u << 10)) != 0;
  if (!avx2 || !vpclmul) return false;
  return (savedRegisterState() & 6u) == 6u;
}

// AVX-512 as well, and the operating system saving its registers too (XCR0 bits 5-7).
bool detectWidestFolding() {
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (!detectWideFolding() || __get_cpuid_count(7, 0, &a, &b, &c, &d) == 0) return false;
  const bool avx512f = (b & (1u << 16)) != 0;
  return avx512f && (savedRegisterState() & 0xE6u) == 0xE6u;
}

__attribute__((target("pclmul,sse4.1"))) inline __m128i fold(__m128i x, __m128i k) {
  return _mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11));
}

// Folds four chunks in flight over the rest of the message at p, then into one another, and
// finishes with the table method.
__attribute__((target("pclmul,sse4.1"))) inline uint32_t foldFour(__m128i x0, __m128i x1, __m128i x2, __m128i x3,
                                                                  const __m128i* p, size_t length) {
  const __m128i k512 = _mm_set_epi64x(static_cast<long long>(kFold512High), static_cast<long long>(kFold512Low));
  const __m128i k128 = _mm_set_epi64x(static_cast<long long>(kFold128High), static_cast<long long>(kFold128Low));
  while (length >= 64) {
    x0 = _mm_xor_si128(fold(x0, k512), _mm_loadu_si128(p));
    x1 = _mm_xor_si128(fold(x1, k512), _mm_loadu_si128(p + 1));
    x2 = _mm_xor_si128(fold(x2, k512), _mm_loadu_si128(p + 2));
    x3 = _mm_xor_si128(fold(x3, k512), _mm_loadu_si128(p + 3));
    p += 4;
    length -= 64;
  }
  __m128i x = _mm_xor_si128(fold(x0, k128), x1);
  x = _mm_xor_si128(fold(x, k128), x2);
  x = _mm_xor_si128(fold(x, k128), x3);
  while (length >= 16) {
    x = _mm_xor_si128(fold(x, k128), _mm_loadu_si128(p));
    ++p;
    length -= 16;
  }
  alignas(16) uint8_t rest[16];
  _mm_store_si128(reinterpret_cast<__m128i*>(rest), x);
  const uint32_t r = detail::crc32RegisterTable(0, rest, sizeof rest);
  return detail::crc32RegisterTable(r, reinterpret_cast<const uint8_t*>(p), length);
}

__attribute__((target("pclmul,sse4.1"))) uint32_t foldingRegister(uint32_t reg, const uint8_t* data,
                                                                   size_t length) {
  if (length < 64) return detail::crc32RegisterTable(reg, data, length);
  const auto* p = reinterpret_cast<const __m128i*>(data);
  const __m128i x0 = _mm_xor_si128(_mm_loadu_si128(p), _mm_cvtsi32_si128(static_cast<int>(reg)));
  return foldFour(x0, _mm_loadu_si128(p + 1), _mm_loadu_si128(p + 2), _mm_loadu_si128(p + 3), p + 4, length - 64);
}

#define KZ_WIDE_TARGET __attribute__((target("vpclmulqdq,avx2,pclmul,sse4.1")))

KZ_WIDE_TARGET inline __m256i fold(__m256i y, __m256i k) {
  return _mm256_xor_si256(_mm256_clmulepi64_epi128(y, k, 0x00), _mm256_clmulepi64_epi128(y, k, 0x11));
}

// Folds eight chunks in flight, two to a register, over the rest of the message at p, then into
// the four of the narrow loop, which finishes.
KZ_WIDE_TARGET inline uint32_t foldEight(__m256i y0, __m256i y1, __m256i y2, __m256i y3, const __m256i* p,
                                         size_t length) {
  const __m256i k1024 = _mm256_set_epi64x(static_cast<long long>(kFold1024High), static_cast<long long>(kFold1024Low),
                                          static_cast<long long>(kFold1024High), static_cast<long long>(kFold1024Low));
  const __m128i k512 = _mm_set_epi64x(static_cast<long long>(kFold512High), static_cast<long long>(kFold512Low));
  while (length >= 128) {
    y0 = _mm256_xor_si256(fold(y0, k1024), _mm256_loadu_si256(p));
    y1 = _mm256_xor_si256(fold(y1, k1024), _mm256_loadu_si256(p + 1));
    y2 = _mm256_xor_si256(fold(y2, k1024), _mm256_loadu_si256(p + 2));
    y3 = _mm256_xor_si256(fold(y3, k1024), _mm256_loadu_si256(p + 3));
    p += 4;
    length -= 128;
  }
  // Chunks 0-3 (the first two registers) fold over 512 bits onto chunks 4-7.
  const __m128i x0 = _mm_xor_si128(fold(_mm256_castsi256_si128(y0), k512), _mm256_castsi256_si128(y2));
  const __m128i x1 = _mm_xor_si128(fold(_mm256_extracti128_si256(y0, 1), k512), _mm256_extracti128_si256(y2, 1));
  const __m128i x2 = _mm_xor_si128(fold(_mm256_castsi256_si128(y1), k512), _mm256_castsi256_si128(y3));
  const __m128i x3 = _mm_xor_si128(fold(_mm256_extracti128_si256(y1, 1), k512), _mm256_extracti128_si256(y3, 1));
  return foldFour(x0, x1, x2, x3, reinterpret_cast<const __m128i*>(p), length);
}

KZ_WIDE_TARGET uint32_t wideFoldingRegister(uint32_t reg, const uint8_t* data, size_t length) {
  if (length < 128) return foldingRegister(reg, data, length);
  const auto* p = reinterpret_cast<const __m256i*>(data);
  const __m256i y0 = _mm256_xor_si256(_mm256_loadu_si256(p), _mm256_zextsi128_si256(_mm_cvtsi32_si128(static_cast<int>(reg))));
  return foldEight(y0, _mm256_loadu_si256(p + 1), _mm256_loadu_si256(p + 2), _mm256_loadu_si256(p + 3), p + 4, length - 128);
}

#define KZ_WIDEST_TARGET __attribute__((target("avx512f,vpclmulqdq,avx2,pclmul,sse4.1")))

KZ_WIDEST_TARGET inline __m512i fold(__m512i z, __m512i k) {
  return _mm512_xor_si512(_mm512_clmulepi64_epi128(z, k, 0x00), _mm512_clmulepi64_epi128(z, k, 0x11));
}

// One half of a 64-byte register. (Extracted with a zero mask: GCC warns that the plain
// extraction's and the cast's merge source is undefined.)
template <int which>
KZ_WIDEST_TARGET inline __m256i half(__m512i z) {
  return _mm512_maskz_extracti64x4_epi64(0xFF, z, which);
}

KZ_WIDEST_TARGET uint32_t widestFoldingRegister(uint32_t reg, const uint8_t* data, size_t length) {
  if (length < 256) return wideFoldingRegister(reg, data, length);
  const auto high = static_cast<long long>(kFold2048High);
  const auto low = static_cast<long long>(kFold2048Low);
  const __m512i k2048 = _mm512_set_epi64(high, low, high, low, high, low, high, low);
  const auto high1024 = static_cast<long long>(kFold1024High);
  const auto low1024 = static_cast<long long>(kFold1024Low);
  const __m512i k1024 = _mm512_set_epi64(high1024, low1024, high1024, low1024, high1024, low1024, high1024, low1024);
  __m512i z0 = _mm512_xor_si512(_mm512_loadu_si512(data), _mm512_zextsi128_si512(_mm_cvtsi32_si128(static_cast<int>(reg))));
  __m512i z1 = _mm512_loadu_si512(data + 64);
  __m512i z2 = _mm512_loadu_si512(data + 128);
  __m512i z3 = _mm512_loadu_si512(data + 192);
  data += 256;
  length -= 256;
  while (length >= 256) {
    z0 = _mm512_xor_si512(fold(z0, k2048), _mm512_loadu_si512(data));
    z1 = _mm512_xor_si512(fold(z1, k2048), _mm512_loadu_si512(data + 64));
    z2 = _mm512_xor_si512(fold(z2, k2048), _mm512_loadu_si512(data + 128));
    z3 = _mm512_xor_si512(fold(z3, k2048), _mm512_loadu_si512(data + 192));
    data += 256;
    length -= 256;
  }
  // Chunks 0-7 (the first two registers) fold over 1024 bits onto chunks 8-15.
  const __m512i a = _mm512_xor_si512(fold(z0, k1024), z2);
  const __m512i b = _mm512_xor_si512(fold(z1, k1024), z3);
  return foldEight(half<0>(a), half<1>(a), half<0>(b), half<1>(b), reinterpret_cast<const __m256i*>(data), length);
}

#endif

using Method = uint32_t (*)(uint32_t, const uint8_t*, size_t);

Method chooseMethod() {
#if defined(KZ_CRC32_FOLDING)
  if (detectWidestFolding()) return &widestFoldingRegister;
  if (detectWideFolding()) return &wideFoldingRegister;
  if (detectFolding()) return &foldingRegister;
#endif
  return &detail::crc32RegisterTable;
}

}  // namespace

namespace detail {

uint32_t crc32RegisterTable(uint32_t reg, const uint8_t* data, size_t length) {
  const auto& t = kTables;
  while (length >= 16) {
    const uint32_t a = loadLittle32(data) ^ reg;
    const uint32_t b = loadLittle32(data + 4);
    const uint32_t c = loadLittle32(data + 8);
    const uint32_t d = loadLittle32(data + 12);
    reg = t[15][a & 0xFF] ^ t[14][(a >> 8) & 0xFF] ^ t[13][(a >> 16) & 0xFF] ^ t[12][a >> 24] ^
          t[11][b & 0xFF] ^ t[10][(b >> 8) & 0xFF] ^ t[9][(b >> 16) & 0xFF] ^ t[8][b >> 24] ^
          t[7][c & 0xFF] ^ t[6][(c >> 8) & 0xFF] ^ t[5][(c >> 16) & 0xFF] ^ t[4][c >> 24] ^
          t[3][d & 0xFF] ^ t[2][(d >> 8) & 0xFF] ^ t[1][(d >> 16) & 0xFF] ^ t[0][d >> 24];
    data += 16;
    length -= 16;
  }
  while (length-- != 0) reg = t[0][(reg ^ *data++) & 0xFFu] ^ (reg >> 8);
  return reg;
}

bool crc32MethodAvailable(Crc32Method method) {
#if defined(KZ_CRC32_FOLDING)
  static const bool folding = detectFolding();
  static const bool wide = detectWideFolding();
  static const bool widest = detectWidestFolding();
  if (method == Crc32Method::Folding) return folding;
  if (method == Crc32Method::WideFolding) return wide;
  if (method == Crc32Method::WidestFolding) return widest;
#endif
  return method == Crc32Method::Table;
}

uint32_t crc32RegisterWith(Crc32Method method, uint32_t reg, const uint8_t* data, size_t length) {
#if defined(KZ_CRC32_FOLDING)
  if (method == Crc32Method::Folding) return foldingRegister(reg, data, length);
  if (method == Crc32Method::WideFolding) return wideFoldingRegister(reg, data, length);
  if (method == Crc32Method::WidestFolding) return widestFoldingRegister(reg, data, length);
#endif
  (void)method;
  return crc32RegisterTable(reg, data, length);
}

}  // namespace detail

uint32_t crc32Register(uint32_t reg, const uint8_t* data, size_t length) {
  static const Method method = chooseMethod();
  return method(reg, data, length);
}

}  // namespace kz
