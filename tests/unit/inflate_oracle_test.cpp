// The fast engine against the plain reference engine: on valid streams and on thousands of damaged
// ones, both give the same result and failure, read exactly the same input and write the same bytes.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <random>

#include "package/inflate.h"
#include "support/bit_writer.h"
#include "support/gzip_fixtures.h"
#include "support/reference_inflate.h"
#include "support/temp_dir.h"

namespace {

using kz::test::Bytes;
using kz::test::MemberResult;

void expectSame(const Bytes& member, uint32_t budget, const std::string& out, const std::string& what) {
  const MemberResult fast = kz::test::decodeMemberBytesWith(nullptr, member, budget, out);
  const MemberResult slow = kz::test::decodeMemberBytesWith(&kz::test::referenceInflateMember, member, budget, out);
  ASSERT_EQ(kz::test::differenceBetween(fast, slow), "") << what;
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
  // PK entries without descriptor, whose deflate data ends at the member's last byte; in these the
  // last code is shorter than the bits the described tables look at.
  const Bytes shortText = kz::test::textBytes(3000, 6);
  for (size_t n : {0, 37, 45, 59, 680, 682, 685, 40000}) {
    const Bytes& source = n > 3000 ? bin : n % 2 == 0 ? shortText : bin;
    kz::test::PkEntryOptions options;
    options.level = 1 + static_cast<int>(n % 9);
    members.push_back(kz::test::pkEntry(Bytes(source.begin(), source.begin() + static_cast<long>(n)), options));
  }
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

// One draw as a 32-bit number.
uint32_t draw(std::mt19937& rng) { return static_cast<uint32_t>(rng()); }

// Random code lengths for count of n symbols, at most maxLength bits: a complete code made by
// splitting leaves of a code tree at random, given to symbols chosen at random.
std::vector<unsigned> completeLengths(std::mt19937& rng, unsigned n, unsigned count, unsigned maxLength) {
  std::vector<unsigned> leaves = {0};
  while (leaves.size() < count) {
    const size_t pick = draw(rng) % leaves.size();
    if (leaves[pick] >= maxLength) {
      bool any = false;
      for (unsigned d : leaves) any = any || d < maxLength;
      if (!any) break;
      continue;
    }
    const unsigned depth = ++leaves[pick];
    leaves.push_back(depth);
  }
  std::vector<unsigned> symbols(n);
  for (unsigned i = 0; i < n; ++i) symbols[i] = i;
  std::shuffle(symbols.begin(), symbols.end(), rng);
  std::vector<unsigned> lengths(n, 0);
  for (size_t i = 0; i < leaves.size() && i < n; ++i) lengths[symbols[i]] = leaves[i] == 0 ? 1 : leaves[i];
  return lengths;
}

// Spoils a complete code now and then: one code less (incomplete), one length shortened or one
// code more (over-subscribed), or one length lengthened (incomplete).
void perturb(std::mt19937& rng, std::vector<unsigned>& lengths, unsigned maxLength) {
  std::vector<size_t> used;
  std::vector<size_t> unused;
  for (size_t i = 0; i < lengths.size(); ++i) (lengths[i] != 0 ? used : unused).push_back(i);
  switch (draw(rng) % 6) {
    case 0:
      if (!used.empty()) lengths[used[draw(rng) % used.size()]] = 0;
      break;
    case 1:
      if (!used.empty()) {
        unsigned& l = lengths[used[draw(rng) % used.size()]];
        if (l > 1) --l;
      }
      break;
    case 2:
      if (!unused.empty()) lengths[unused[draw(rng) % unused.size()]] = 1 + draw(rng) % maxLength;
      break;
    case 3:
      if (!used.empty()) {
        unsigned& l = lengths[used[draw(rng) % used.size()]];
        if (l < maxLength) ++l;
      }
      break;
    default:
      break;  // left complete
  }
}

// Dynamic blocks with random code sets, complete, incomplete and over-subscribed, long codes
// included, followed by literals, matches and an end of block written with those codes: both
// engines, which build their codes independently, must agree on every one.
TEST(InflateOracle, SameOnRandomCodeSets) {
  kz::test::TempDir dir;
  const std::string out = dir.file("out.bin");
  std::mt19937 rng(611);
  int decoded = 0;
  for (int trial = 0; trial < 3000; ++trial) {
    const unsigned nlit = 257 + draw(rng) % 30;
    const unsigned ndist = 1 + draw(rng) % 30;
    const unsigned litLongest = 9 + draw(rng) % 7;
    std::vector<unsigned> lit = completeLengths(rng, nlit, 2 + draw(rng) % (nlit - 1), litLongest);
    if (lit[256] == 0) lit[256] = litLongest;  // an end of block, complete or not
    std::vector<unsigned> dist = completeLengths(rng, ndist, 1 + draw(rng) % ndist, 1 + draw(rng) % 15);
    if (draw(rng) % 2 == 0) perturb(rng, lit, 15);
    if (draw(rng) % 3 == 0) perturb(rng, dist, 15);

    // The code-length code covers the lengths used.
    std::vector<unsigned> all = lit;
    all.insert(all.end(), dist.begin(), dist.end());
    std::vector<unsigned> present;
    for (unsigned v = 0; v < 16; ++v) {
      if (std::find(all.begin(), all.end(), v) != all.end()) present.push_back(v);
    }
    std::vector<unsigned> clen(19, 0);
    const std::vector<unsigned> shape = completeLengths(rng, static_cast<unsigned>(present.size()),
                                                        static_cast<unsigned>(present.size()), 7);
    for (size_t i = 0; i < present.size(); ++i) clen[present[i]] = shape[i];
    if (draw(rng) % 8 == 0) perturb(rng, clen, 7);
    unsigned hclen = 19;
    while (hclen > 4 && clen[kz::test::kCodeLengthOrder[hclen - 1]] == 0) --hclen;

    kz::test::BitWriter w;
    w.blockHeader(true, 2);
    w.bits(nlit - 257, 5);
    w.bits(ndist - 1, 5);
    w.bits(hclen - 4, 4);
    for (unsigned i = 0; i < hclen; ++i) w.bits(clen[kz::test::kCodeLengthOrder[i]], 3);
    const std::vector<uint32_t> clenCodes = kz::test::canonicalCodes(clen);
    for (unsigned l : all) w.code(clenCodes[l], clen[l] == 0 ? 7 : clen[l]);

    // Data: literals and matches within what was written, then the end of block.
    const std::vector<uint32_t> litCodes = kz::test::canonicalCodes(lit);
    const std::vector<uint32_t> distCodes = kz::test::canonicalCodes(dist);
    Bytes expected;
    std::vector<unsigned> literals;
    std::vector<unsigned> lengthSymbols;
    std::vector<unsigned> distSymbols;
    for (unsigned i = 0; i < 256; ++i) if (lit[i] != 0) literals.push_back(i);
    for (unsigned i = 257; i < nlit && i < 286; ++i) if (lit[i] != 0) lengthSymbols.push_back(i);
    for (unsigned i = 0; i < ndist && i < 30; ++i) if (dist[i] != 0) distSymbols.push_back(i);
    const int symbols = static_cast<int>(draw(rng) % 40);
    for (int k = 0; k < symbols && !literals.empty(); ++k) {
      if (!expected.empty() && !lengthSymbols.empty() && !distSymbols.empty() && draw(rng) % 3 == 0) {
        const unsigned ls = lengthSymbols[draw(rng) % lengthSymbols.size()];
        const unsigned ds = distSymbols[draw(rng) % distSymbols.size()];
        const uint32_t lengthExtra = draw(rng) & ((1u << kz::test::kLengthExtra[ls - 257]) - 1);
        const uint32_t length = kz::test::kLengthBase[ls - 257] + lengthExtra;
        const uint32_t distExtra = draw(rng) & ((1u << kz::test::kDistExtra[ds]) - 1);
        const uint32_t distance = kz::test::kDistBase[ds] + distExtra;
        w.code(litCodes[ls], lit[ls]);
        w.bits(lengthExtra, kz::test::kLengthExtra[ls - 257]);
        w.code(distCodes[ds], dist[ds]);
        w.bits(distExtra, kz::test::kDistExtra[ds]);
        // A distance beyond the output copies zeros from the window, which starts zeroed.
        for (uint32_t j = 0; j < length; ++j) {
          expected.push_back(distance <= expected.size() ? expected[expected.size() - distance] : 0);
        }
      } else {
        const unsigned l = literals[draw(rng) % literals.size()];
        w.code(litCodes[l], lit[l]);
        expected.push_back(static_cast<uint8_t>(l));
      }
    }
    w.code(litCodes[256], lit[256]);
    const Bytes member = kz::test::wrapGzip(w.finish(), expected);
    expectSame(member, static_cast<uint32_t>(member.size()), out, "trial " + std::to_string(trial));
    const MemberResult fast = kz::test::decodeMemberBytesWith(nullptr, member, static_cast<uint32_t>(member.size()), out);
    if (fast.outcome == kz::MemberOutcome::Decoded) ++decoded;
  }
  // Enough of them are valid for the comparison to cover whole blocks, and enough are not.
  EXPECT_GT(decoded, 300);
  EXPECT_LT(decoded, 2700);
}

}  // namespace
