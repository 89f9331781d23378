// CRC-32: the gzip check value, against known values and zlib over every length and alignment.
#include "package/crc32.h"

#include <gtest/gtest.h>
#include <zlib.h>

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

}  // namespace
