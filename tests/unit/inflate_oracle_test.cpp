// The fast engine against the plain reference engine: on valid streams and on thousands of damaged
// ones, both give the same result and failure, read exactly the same input and write the same bytes.
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>

#include "package/inflate.h"
#include "support/gzip_fixtures.h"
#include "support/reference_inflate.h"
#include "support/temp_dir.h"

namespace {

using kz::test::Bytes;
using kz::test::MemberResult;

MemberResult run(kz::InflateEngine engine, const Bytes& member, uint32_t budget, const std::string& out) {
  kz::setInflateEngineForTesting(engine);
  MemberResult r = kz::test::decodeMemberBytes(member, budget, out);
  kz::setInflateEngineForTesting(nullptr);
  return r;
}

void expectSame(const Bytes& member, uint32_t budget, const std::string& out, const std::string& what) {
  const MemberResult fast = run(nullptr, member, budget, out);
  const MemberResult slow = run(&kz::test::referenceInflateMember, member, budget, out);
  ASSERT_EQ(fast.header, slow.header) << what;
  ASSERT_EQ(fast.decode, slow.decode) << what;
  ASSERT_EQ(fast.failure, slow.failure) << what << ": " << kz::describeDecodeFailure(fast.failure) << " vs "
                                        << kz::describeDecodeFailure(slow.failure);
  ASSERT_EQ(fast.inputPosition, slow.inputPosition) << what;
  ASSERT_EQ(fast.outputExists, slow.outputExists) << what;
  ASSERT_TRUE(fast.output == slow.output) << what;
}

std::vector<Bytes> validMembers() {
  std::vector<Bytes> members;
  const Bytes text = kz::test::textBytes(90000, 21);
  const Bytes bin = kz::test::systemBinaryBytes(150000);
  const Bytes runs = kz::test::runBytes(70000, 22);
  for (int strategy : {Z_DEFAULT_STRATEGY, Z_FIXED, Z_HUFFMAN_ONLY, Z_RLE}) {
    for (int level : {0, 1, 6, 9}) {
      members.push_back(kz::test::zlibGzip(text, level, strategy));
      members.push_back(kz::test::zlibGzip(bin, level, strategy));
      members.push_back(kz::test::zlibGzip(runs, level, strategy));
    }
  }
  members.push_back(kz::test::zlibGzip({}, 6, Z_DEFAULT_STRATEGY));
  return members;
}

// Valid members, also with budgets that cut them anywhere near a refill boundary or the end.
TEST(InflateOracle, SameOnValidAndCutMembers) {
  kz::test::TempDir dir;
  const std::string out = dir.file("out.bin");
  int index = 0;
  for (const Bytes& m : validMembers()) {
    const auto size = static_cast<uint32_t>(m.size());
    expectSame(m, size, out, "member " + std::to_string(index));
    for (uint32_t cut : {1u, 2u, 7u, 9u, 13u}) {
      if (cut < size) expectSame(m, size - cut, out, "member " + std::to_string(index) + " less " + std::to_string(cut));
    }
    if (size > 32770) expectSame(m, 32769, out, "member " + std::to_string(index) + " at one refill + 1");
    ++index;
  }
}

// Damaged members: flipped bits and overwritten bytes anywhere in the deflate data.
TEST(InflateOracle, SameOnDamagedMembers) {
  kz::test::TempDir dir;
  const std::string out = dir.file("out.bin");
  std::mt19937 rng(1234);
  const std::vector<Bytes> members = validMembers();
  for (int trial = 0; trial < 1500; ++trial) {
    Bytes m = members[rng() % members.size()];
    if (m.size() < 20) continue;
    const int damages = 1 + static_cast<int>(rng() % 3);
    for (int d = 0; d < damages; ++d) {
      const size_t at = 10 + rng() % (m.size() - 18);
      if (rng() % 2 == 0) {
        m[at] = static_cast<uint8_t>(m[at] ^ (1u << (rng() % 8)));
      } else {
        m[at] = static_cast<uint8_t>(rng());
      }
    }
    expectSame(m, static_cast<uint32_t>(m.size()), out, "trial " + std::to_string(trial));
  }
}

}  // namespace
