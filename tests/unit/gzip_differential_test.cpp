// Differential test: whatever zlib compresses, at every level and with every strategy, our decoder
// turns back into the same bytes, through both zlib's gzip wrapper and raw deflate wrapped by hand.
#include <gtest/gtest.h>
#include <zlib.h>

#include "support/gzip_fixtures.h"
#include "support/temp_dir.h"

namespace {

using kz::test::Bytes;

struct Sample {
  const char* name;
  Bytes data;
};

const std::vector<Sample>& samples() {
  static const std::vector<Sample> all = [] {
    std::vector<Sample> s;
    s.push_back({"empty", {}});
    s.push_back({"one byte", {0x41}});
    s.push_back({"binaries 1.5 MB", kz::test::systemBinaryBytes(1536 * 1024)});
    s.push_back({"text 700 KB", kz::test::textBytes(700 * 1024, 1)});
    s.push_back({"random 100 KB", kz::test::randomBytes(100 * 1024, 2)});
    s.push_back({"runs 300 KB", kz::test::runBytes(300 * 1024, 3)});
    s.push_back({"text 32 KiB exactly", kz::test::textBytes(32768, 4)});
    s.push_back({"text 32 KiB + 1", kz::test::textBytes(32769, 5)});
    return s;
  }();
  return all;
}

struct Strategy {
  const char* name;
  int value;
};

constexpr Strategy kStrategies[] = {{"default", Z_DEFAULT_STRATEGY},
                                    {"filtered", Z_FILTERED},
                                    {"huffman-only", Z_HUFFMAN_ONLY},
                                    {"rle", Z_RLE},
                                    {"fixed", Z_FIXED}};

class GzipDifferential : public ::testing::TestWithParam<Strategy> {};

// Every level 0-9 of this strategy, over every kind of sample, decodes byte-identical.
TEST_P(GzipDifferential, DecodesEveryLevelByteIdentical) {
  kz::test::TempDir dir;
  const std::string out = dir.file("out.bin");
  for (const Sample& sample : samples()) {
    for (int level = 0; level <= 9; ++level) {
      // The largest samples at every level would take long; levels 1, 6 and 9 cover them.
      if (sample.data.size() > 800 * 1024 && level != 1 && level != 6 && level != 9) continue;
      const Bytes member = kz::test::zlibGzip(sample.data, level, GetParam().value);
      const auto r = kz::test::decodeMemberBytes(member, out);
      ASSERT_EQ(r.header, kz::MemberMethod::Deflated) << sample.name << " level " << level;
      ASSERT_EQ(r.outcome, kz::MemberOutcome::Decoded) << sample.name << " level " << level << ": "
                             << kz::describeDecodeFailure(r.failure);
      ASSERT_TRUE(r.output == sample.data) << sample.name << " level " << level;
      ASSERT_EQ(r.inputPosition, member.size());
    }
  }
}

// Raw deflate wrapped in a hand-made header and trailer, with a pad byte after an odd member, is
// decoded without reading the pad.
TEST_P(GzipDifferential, DecodesHandWrappedRawDeflate) {
  kz::test::TempDir dir;
  const std::string out = dir.file("out.bin");
  for (const Sample& sample : samples()) {
    const Bytes raw = kz::test::rawDeflate(sample.data, 6, GetParam().value);
    Bytes member = kz::test::wrapGzip(raw, sample.data);
    const auto length = static_cast<uint32_t>(member.size());
    member.push_back(0);  // the pad byte, or the start of whatever follows
    const auto r = kz::test::decodeMemberBytes(member, length, out);
    ASSERT_EQ(r.outcome, kz::MemberOutcome::Decoded) << sample.name << ": " << kz::describeDecodeFailure(r.failure);
    ASSERT_TRUE(r.output == sample.data) << sample.name;
    ASSERT_LE(r.inputPosition, length) << "read past the member";
  }
}

// PK entries of every length up to 3,000 bytes end at the input's last byte: nothing follows the
// deflate data of one without descriptor, so the decoder has nothing to look ahead into there. Each
// decodes byte-identical and is read exactly to its end, as is the same entry with a descriptor.
TEST_P(GzipDifferential, DecodesPkEntriesEndingAtTheInputsLastByte) {
  kz::test::TempDir dir;
  const std::string out = dir.file("out.bin");
  const Bytes text = kz::test::textBytes(3000, 6);
  const Bytes binary = kz::test::systemBinaryBytes(3000);
  for (size_t n = 0; n <= 3000; ++n) {
    const Bytes& source = n % 2 == 0 ? text : binary;
    const Bytes data(source.begin(), source.begin() + static_cast<long>(n));
    kz::test::PkEntryOptions options;
    options.level = 1 + static_cast<int>(n % 9);
    options.strategy = GetParam().value;
    for (const uint16_t flags : {uint16_t{0}, uint16_t{0x08}}) {
      if (flags != 0 && n % 16 != 0) continue;  // a descriptor gives the data slack: a sample is enough
      options.flags = flags;
      const Bytes entry = kz::test::pkEntry(data, options);
      const auto r = kz::test::decodeMemberBytes(entry, out);
      ASSERT_EQ(r.outcome, kz::MemberOutcome::Decoded) << "length " << n << " flags " << flags << ": " << kz::describeDecodeFailure(r.failure);
      ASSERT_TRUE(r.output == data) << "length " << n << " flags " << flags;
      ASSERT_EQ(r.inputPosition, entry.size()) << "length " << n << " flags " << flags;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllStrategies, GzipDifferential, ::testing::ValuesIn(kStrategies),
                         [](const ::testing::TestParamInfo<Strategy>& p) {
                           std::string n = p.param.name;
                           for (char& c : n) {
                             if (c == '-') c = '_';
                           }
                           return n;
                         });

}  // namespace
