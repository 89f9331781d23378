// CRC-32: the gzip check value, against known values and zlib over every length and alignment.
#include "package/crc32.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

namespace {

TEST(Crc32, MatchesKnownCheckValues) {
  const std::string check = "123456789";
  EXPECT_EQ(kz::crc32(reinterpret_cast<const uint8_t*>(check.data()), check.size()), 0xCBF43926u);
  EXPECT_EQ(kz::crc32(nullptr, 0), 0u);
}

TEST(Crc32, AgreesWithZlibForEveryLengthAndAlignment) {
  std::mt19937 rng(7);
  std::vector<uint8_t> data(300);
  for (auto& b : data) b = static_cast<uint8_t>(rng());
  for (size_t start = 0; start < 8; ++start) {
    for (size_t len = 0; start + len <= data.size(); ++len) {
      const uint32_t ours = kz::crc32(data.data() + start, len);
      const auto theirs = static_cast<uint32_t>(::crc32(0, data.data() + start, static_cast<uInt>(len)));
      ASSERT_EQ(ours, theirs) << "start " << start << " length " << len;
    }
  }
}

TEST(Crc32, RegisterCarriesAcrossSplitInput) {
  std::vector<uint8_t> data(1000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 31 + 7);
  const uint32_t whole = kz::crc32(data.data(), data.size());
  for (size_t cut : {1u, 7u, 8u, 9u, 500u, 999u}) {
    uint32_t reg = kz::crc32Register(0xFFFFFFFFu, data.data(), cut);
    reg = kz::crc32Register(reg, data.data() + cut, data.size() - cut);
    EXPECT_EQ(reg ^ 0xFFFFFFFFu, whole) << "cut at " << cut;
  }
}

// Every method this processor has, against zlib on every length up to two steps of the widest
// folding and more (below, at and past each folding step of every width) at every alignment of a
// 16-byte load, and carried on from register values other than the start value.
TEST(Crc32, EveryMethodAgreesWithZlib) {
  using kz::detail::Crc32Method;
  std::mt19937 rng(11);
  std::vector<uint8_t> data(600);
  for (auto& b : data) b = static_cast<uint8_t>(rng());
  for (Crc32Method method :
       {Crc32Method::Table, Crc32Method::Folding, Crc32Method::WideFolding, Crc32Method::WidestFolding}) {
    const int name = static_cast<int>(method);
    if (!kz::detail::crc32MethodAvailable(method)) {
      std::printf("method %d not in this build or not on this processor\n", name);
      continue;
    }
    for (size_t start = 0; start < 16; ++start) {
      for (size_t len = 0; start + len <= data.size(); ++len) {
        const uint8_t* p = data.data() + start;
        const auto theirs = static_cast<uint32_t>(::crc32(0, p, static_cast<uInt>(len)));
        ASSERT_EQ(kz::detail::crc32RegisterWith(method, 0xFFFFFFFFu, p, len) ^ 0xFFFFFFFFu, theirs)
            << "method " << name << ", start " << start << " length " << len;
        const uint32_t reg = static_cast<uint32_t>(rng());
        ASSERT_EQ(kz::detail::crc32RegisterWith(method, reg, p, len), kz::detail::crc32RegisterTable(reg, p, len))
            << "method " << name << " from register " << reg << ", start " << start << " length " << len;
      }
    }
  }
}

// Large buffers, whole and in the window-sized pieces the decoder hands over, with zero runs and
// all-ones bytes that a wrong folding constant would still get wrong.
TEST(Crc32, LargeBuffersAgreeWithZlib) {
  std::mt19937 rng(12);
  for (size_t size : {size_t{65536}, size_t{1000003}, size_t{4u << 20}}) {
    std::vector<uint8_t> data(size);
    for (auto& b : data) b = static_cast<uint8_t>(rng());
    std::fill(data.begin() + static_cast<long>(size / 3), data.begin() + static_cast<long>(size / 3 + 5000), 0);
    std::fill(data.begin() + static_cast<long>(size / 2), data.begin() + static_cast<long>(size / 2 + 777), 0xFF);
    const auto theirs = static_cast<uint32_t>(::crc32(0, data.data(), static_cast<uInt>(size)));
    EXPECT_EQ(kz::crc32(data.data(), size), theirs) << size;
    EXPECT_EQ(kz::detail::crc32RegisterTable(0xFFFFFFFFu, data.data(), size) ^ 0xFFFFFFFFu, theirs) << size;
    uint32_t reg = 0xFFFFFFFFu;
    for (size_t at = 0; at < size; at += 32768) reg = kz::crc32Register(reg, data.data() + at, std::min<size_t>(32768, size - at));
    EXPECT_EQ(reg ^ 0xFFFFFFFFu, theirs) << size << " in window pieces";
  }
}

}  // namespace
