// The inflate engine on streams written bit by bit: block types, window edges, code sets, and one
// test per refusal.
#include "package/inflate.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <functional>

#include "package/gzip_member.h"
#include "platform/files.h"
#include "support/bit_writer.h"
#include "support/faulty_stream.h"
#include "support/gzip_fixtures.h"
#include "support/temp_dir.h"

namespace {

using kz::DecodeFailure;
using kz::test::BitWriter;
using kz::test::Bytes;
using kz::test::canonicalCodes;
using kz::test::kCodeLengthOrder;

// A dynamic block header: HLIT/HDIST fields as given, the code-length code of 4-bit codes for
// lengths 0..15 (complete), then each length written plainly with it.
struct Dynamic {
  std::vector<unsigned> lit;
  std::vector<unsigned> dist;
  std::vector<uint32_t> litCodes;
  std::vector<uint32_t> distCodes;
};

Dynamic writeDynamicHeader(BitWriter& w, bool final, const std::vector<unsigned>& lit,
                           const std::vector<unsigned>& dist) {
  w.blockHeader(final, 2);
  w.bits(static_cast<uint32_t>(lit.size() - 257), 5);
  w.bits(static_cast<uint32_t>(dist.size() - 1), 5);
  w.bits(15, 4);  // all 19 code-length code lengths follow
  for (unsigned symbol : kCodeLengthOrder) w.bits(symbol < 16 ? 4 : 0, 3);
  for (unsigned l : lit) w.code(l, 4);
  for (unsigned l : dist) w.code(l, 4);
  return {lit, dist, canonicalCodes(lit), canonicalCodes(dist)};
}

// A complete set for 286 literal/length symbols: 226 codes of 8 bits and 60 of 9 bits.
std::vector<unsigned> completeLiteralLengths() {
  std::vector<unsigned> l(286);
  for (unsigned i = 0; i < 286; ++i) l[i] = i < 226 ? 8 : 9;
  return l;
}

// A stored block's header: the final flag, type 00, the byte alignment, LEN and NLEN.
void storedHeader(BitWriter& w, bool final, uint32_t length, uint32_t complement) {
  w.blockHeader(final, 0);
  w.alignToByte();
  w.bits(length, 16);
  w.bits(complement, 16);
}

class Inflate : public ::testing::Test {
 protected:
  kz::test::MemberResult decode(const Bytes& deflate, const Bytes& expected) {
    return kz::test::decodeMemberBytes(kz::test::wrapGzip(deflate, expected), dir_.file("out.bin"));
  }
  kz::test::TempDir dir_;
};

// Streams that decode to what they were written for, at the window's edges and across refills.
TEST_F(Inflate, DecodesWhatWasWritten) {
  const struct {
    const char* name;
    std::function<Bytes(BitWriter&)> write;  // writes the stream, returns what it stands for
  } cases[] = {
      {"empty stored block",
       [](BitWriter& w) {
         storedHeader(w, true, 0, 0xFFFF);
         return Bytes{};
       }},
      {"stored block longer than the window",  // flushed when the window fills, going on at its start
       [](BitWriter& w) {
         const Bytes data = kz::test::randomBytes(40000, 1);
         storedHeader(w, true, 40000, ~40000u & 0xFFFF);
         for (uint8_t b : data) w.byte(b);
         return data;
       }},
      {"stored zeros across refills",  // a zero byte at a refill's start included
       [](BitWriter& w) {
         const Bytes zeros(100000, 0);
         for (uint32_t at = 0; at < zeros.size(); at += 50000) {
           storedHeader(w, at + 50000 >= zeros.size(), 50000, ~50000u & 0xFFFF);
           for (uint32_t i = 0; i < 50000; ++i) w.byte(0);
         }
         return zeros;
       }},
      {"longest match at distance 1",
       [](BitWriter& w) {
         w.blockHeader(true, 1);
         w.fixedSymbol('k');
         w.fixedSymbol(285);  // length 258, no extra bits
         w.fixedDistance(0);  // distance 1
         w.fixedSymbol(256);
         return Bytes(259, 'k');
       }},
      {"match straddling the window's end",  // flushed at 32,768, continued at 0, its source wrapping
       [](BitWriter& w) {
         const Bytes head = kz::test::randomBytes(32760, 2);
         storedHeader(w, false, 32760, ~32760u & 0xFFFF);
         for (uint8_t b : head) w.byte(b);
         w.blockHeader(true, 1);
         w.fixedSymbol(284);   // length 227 + 5 extra bits
         w.bits(30, 5);        // 257
         w.fixedDistance(29);  // distance 24577 + 13 extra bits
         w.bits(8000, 13);     // 32577
         w.fixedSymbol(256);
         Bytes expected = head;
         for (int i = 0; i < 257; ++i) expected.push_back(expected[expected.size() - 32577]);
         return expected;
       }},
      {"dynamic block with a single distance code",
       [](BitWriter& w) {
         const Dynamic d = writeDynamicHeader(w, true, completeLiteralLengths(), {1});
         w.code(d.litCodes['x'], d.lit['x']);
         w.code(d.litCodes[258], d.lit[258]);  // length 4
         w.code(d.distCodes[0], 1);            // distance 1
         w.code(d.litCodes[256], d.lit[256]);
         return Bytes(5, 'x');
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    BitWriter w;
    const Bytes expected = c.write(w);
    const auto r = decode(w.finish(), expected);
    EXPECT_EQ(r.outcome, kz::MemberOutcome::Decoded) << kz::describeDecodeFailure(r.failure);
    EXPECT_TRUE(r.output == expected);
  }
}

// Streams that a member refuses, with no output left behind. A distance that reaches before the
// output's start is no engine error: the member's CRC check catches it.
TEST_F(Inflate, RefusesInvalidStreams) {
  const struct {
    const char* name;
    DecodeFailure failure;
    Bytes expected;  // what the member's trailer claims
    std::function<void(BitWriter&)> write;
  } cases[] = {
      {"stored length mismatch", DecodeFailure::FormatViolated, {},
       [](BitWriter& w) { storedHeader(w, true, 5, 0xFFFF); }},
      {"block type 3", DecodeFailure::FormatViolated, {}, [](BitWriter& w) { w.blockHeader(true, 3); }},
      {"distance before the output's start", DecodeFailure::CrcError, Bytes{'a', 'a', 'a', 'a'},
       [](BitWriter& w) {
         w.blockHeader(true, 1);
         w.fixedSymbol('a');
         w.fixedSymbol(257);   // length 3
         w.fixedDistance(10);  // distance 33 + 4 extra bits
         w.bits(0, 4);
         w.fixedSymbol(256);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    BitWriter w;
    c.write(w);
    const auto r = decode(w.finish(), c.expected);
    EXPECT_EQ(r.failure, c.failure) << kz::describeDecodeFailure(r.failure);
    EXPECT_FALSE(r.outputExists);
  }
}

// Length codes 286 and 287 and distance codes 30 and 31 are invalid codes in a fixed block: met
// after each number of literals in a run, at the end of the input and with plenty of input behind
// them (the fast path).
TEST_F(Inflate, RefusesInvalidFixedCodes) {
  for (const unsigned padding : {0u, 200u}) {
    for (unsigned literals = 1; literals <= 4; ++literals) {
      for (const unsigned code : {286u, 287u, 30u, 31u}) {
        BitWriter w;
        w.blockHeader(true, 1);
        for (unsigned i = 0; i < literals; ++i) w.fixedSymbol('a');
        if (code >= 286) {
          w.fixedSymbol(code);
        } else {
          w.fixedSymbol(257);
          w.fixedDistance(code);
        }
        for (unsigned i = 0; i < padding; ++i) w.byte(0);
        EXPECT_EQ(decode(w.finish(), {}).failure, DecodeFailure::FormatViolated)
            << "code " << code << " after " << literals << " literals, padding " << padding;
      }
    }
  }
}

// Input that ends inside a stored block ends the member as input that ended, however much of the
// block's length is still missing; nothing is left of the output.
TEST_F(Inflate, StoredBlockCutShort) {
  for (uint32_t present : {0u, 1u, 100u, 40000u}) {
    BitWriter w;
    storedHeader(w, true, 65535, 0);
    for (uint32_t i = 0; i < present; ++i) w.byte(static_cast<uint8_t>(i));
    const auto r = kz::test::decodeMemberBytes(kz::test::wrapGzip(w.finish(), {}), 10 + 5 + present, dir_.file("cut.bin"));
    EXPECT_EQ(r.failure, DecodeFailure::InputEnded) << present << ": " << kz::describeDecodeFailure(r.failure);
    EXPECT_EQ(r.outcome, kz::MemberOutcome::DecodeFailed) << present;
    EXPECT_FALSE(r.outputExists) << present;
  }
}

// A longest match that ends exactly at the window's end is flushed there, and the literals after
// it start the next window; also when literals lead up to it, and for matches that start one byte
// before or after that point or near the window's end. Fixed codes (literals in sub-tables) and
// dynamic ones (literals at the first level) both.
TEST_F(Inflate, MatchEndingAtTheWindowEnd) {
  std::vector<std::pair<uint32_t, uint32_t>> cases = {{32510, 0}, {32509, 0}, {32511, 0}, {32765, 0}, {32767, 0}};
  for (uint32_t literals = 1; literals <= 16; ++literals) cases.emplace_back(32510 - literals, literals);
  for (bool dynamic : {false, true}) {
    for (auto [before, literals] : cases) {
      const Bytes head = kz::test::randomBytes(before, 5);
      BitWriter w;
      storedHeader(w, false, before, ~before & 0xFFFF);
      for (uint8_t b : head) w.byte(b);
      Dynamic d;
      if (dynamic) {
        d = writeDynamicHeader(w, true, completeLiteralLengths(), {1});
      } else {
        w.blockHeader(true, 1);
      }
      auto symbol = [&](unsigned s) {
        if (dynamic) {
          w.code(d.litCodes[s], d.lit[s]);
        } else {
          w.fixedSymbol(s);
        }
      };
      Bytes expected = head;
      for (uint32_t i = 0; i < literals; ++i) {
        symbol('0' + i);
        expected.push_back(static_cast<uint8_t>('0' + i));
      }
      symbol(285);  // length 258
      if (dynamic) {
        w.code(d.distCodes[0], 1);  // distance 1
      } else {
        w.fixedDistance(0);
      }
      expected.insert(expected.end(), 258, expected.back());
      for (int i = 0; i < 40; ++i) {
        symbol(static_cast<unsigned>('a' + i % 26));
        expected.push_back(static_cast<uint8_t>('a' + i % 26));
      }
      symbol(256);
      const Bytes deflate = w.finish();
      const std::string what = (dynamic ? "dynamic " : "fixed ") + std::to_string(before) + "+" + std::to_string(literals);
      const auto r = decode(deflate, expected);
      EXPECT_EQ(r.outcome, kz::MemberOutcome::Decoded) << what << ": " << kz::describeDecodeFailure(r.failure);
      EXPECT_TRUE(r.output == expected) << what;
      // The window leaves whole when it fills, then the rest once.
      kz::test::WriteSizeRecorder recorder;
      kz::platform::ScopedFileSystem scope(recorder);
      // Decoded, but the recorder keeps the bytes from the file, which is left empty.
      EXPECT_EQ(decode(deflate, expected).outcome, kz::MemberOutcome::OutputIncomplete) << what;
      EXPECT_EQ(recorder.writes, (std::vector<size_t>{32768, expected.size() - 32768})) << what;
    }
  }
}

// HLIT 30 (287 codes) and HDIST 31 (32 codes) are refused.
TEST_F(Inflate, RefusesTooManyCodes) {
  for (auto [hlit, hdist] : {std::pair{30u, 0u}, std::pair{0u, 30u}, std::pair{31u, 31u}}) {
    BitWriter w;
    w.blockHeader(true, 2);
    w.bits(hlit, 5);
    w.bits(hdist, 5);
    w.bits(0, 4);
    w.bits(0, 32);
    EXPECT_EQ(decode(w.finish(), {}).failure, DecodeFailure::FormatViolated) << hlit << "/" << hdist;
  }
}

// Literal/length lengths for a count of symbols that make a complete code of 8- and 9-bit codes,
// 8 bits first: x codes of 8 bits and y of 9 bits with x + y = count and 2x + y = 512 - used,
// where used is the code space (in 512ths) that other lengths already take.
std::vector<unsigned> eightsThenNines(unsigned count, unsigned used = 0) {
  const unsigned eights = 512 - used - count;
  std::vector<unsigned> l(count, 9);
  for (unsigned i = 0; i < eights; ++i) l[i] = 8;
  return l;
}

// HLIT 30 (287 codes) and HDIST 30 (31 codes) are refused even when every length read after
// them would make complete codes and the data would decode; the same blocks at the limits, 286
// and 30 codes, decode.
TEST_F(Inflate, RefusesTooManyCodesInAnOtherwiseValidBlock) {
  std::vector<unsigned> dist31(31, 5);
  dist31[30] = 4;  // thirty 5-bit codes and one of 4 bits: complete
  std::vector<unsigned> dist30(30, 5);
  dist30[28] = dist30[29] = 4;  // complete
  const struct {
    const char* name;
    std::vector<unsigned> lit;
    std::vector<unsigned> dist;
    unsigned literal;
    bool decodes;
  } cases[] = {
      {"287 literal/length codes", eightsThenNines(287), {1}, 'x', false},
      {"31 distance codes", eightsThenNines(257), dist31, 'y', false},
      {"286 and 30 codes", eightsThenNines(286), dist30, 'z', true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    BitWriter w;
    const Dynamic d = writeDynamicHeader(w, true, c.lit, c.dist);
    w.code(d.litCodes[c.literal], d.lit[c.literal]);
    w.code(d.litCodes[256], d.lit[256]);
    const Bytes literal{static_cast<uint8_t>(c.literal)};
    const auto r = decode(w.finish(), literal);
    if (c.decodes) {
      EXPECT_EQ(r.outcome, kz::MemberOutcome::Decoded) << kz::describeDecodeFailure(r.failure);
      EXPECT_TRUE(r.output == literal);
    } else {
      EXPECT_EQ(r.failure, DecodeFailure::FormatViolated);
      EXPECT_FALSE(r.outputExists);
    }
  }
}

// Repeat code 16 copies the last length: 0 before any length was read, the length just read, and
// 0 again after a run of zeros (17 or 18). Each list below makes a complete code only when the
// repeats are read that way, and the block's data then decodes.
TEST_F(Inflate, RepeatCodeSixteenCopiesTheLastLength) {
  // Code-length code: 4-bit codes for lengths 0..12 and for 16, 17 and 18 (complete).
  auto lengthCode = [](unsigned symbol) { return symbol <= 12 ? symbol : symbol - 3; };
  struct Op {
    unsigned symbol;
    unsigned extra;  // the repeat's extra bits
  };
  struct Case {
    const char* name;
    std::vector<Op> ops;            // the start of the list
    std::vector<unsigned> lengths;  // what they stand for
  };
  const std::vector<unsigned> three0(3, 0);
  std::vector<unsigned> eight5(5, 8);
  std::vector<unsigned> after17 = {8, 0, 0, 0, 0, 0, 0};
  std::vector<unsigned> after18(15, 0);
  after18[0] = 9;
  const Case cases[] = {
      {"16 first repeats 0", {{16, 0}}, three0},
      {"16 after a length repeats it", {{8, 0}, {16, 1}}, eight5},
      {"16 after 17 repeats 0", {{8, 0}, {17, 0}, {16, 0}}, after17},
      {"16 after 18 repeats 0", {{9, 0}, {18, 0}, {16, 0}}, after18},
  };
  for (const Case& c : cases) {
    unsigned used = 0;
    for (unsigned l : c.lengths) used += l == 0 ? 0 : 512u >> l;
    std::vector<unsigned> lit = c.lengths;
    const std::vector<unsigned> rest = eightsThenNines(286 - static_cast<unsigned>(lit.size()), used);
    lit.insert(lit.end(), rest.begin(), rest.end());
    ASSERT_EQ(lit.size(), 286u);

    BitWriter w;
    w.blockHeader(true, 2);
    w.bits(29, 5);  // 286 literal/length codes
    w.bits(0, 5);   // one distance code
    w.bits(15, 4);
    for (unsigned symbol : kCodeLengthOrder) w.bits((symbol <= 12 || symbol >= 16) ? 4 : 0, 3);
    for (const Op& op : c.ops) {
      w.code(lengthCode(op.symbol), 4);
      if (op.symbol == 16) w.bits(op.extra, 2);
      if (op.symbol == 17) w.bits(op.extra, 3);
      if (op.symbol == 18) w.bits(op.extra, 7);
    }
    for (size_t i = c.lengths.size(); i < lit.size(); ++i) w.code(lengthCode(lit[i]), 4);
    w.code(lengthCode(1), 4);  // the distance code
    const std::vector<uint32_t> codes = canonicalCodes(lit);
    Bytes expected;
    for (unsigned symbol = 0; symbol < 256; symbol += 37) {
      if (lit[symbol] == 0) continue;
      w.code(codes[symbol], lit[symbol]);
      expected.push_back(static_cast<uint8_t>(symbol));
    }
    w.code(codes[256], lit[256]);
    const auto r = decode(w.finish(), expected);
    EXPECT_EQ(r.outcome, kz::MemberOutcome::Decoded) << c.name << ": " << kz::describeDecodeFailure(r.failure);
    EXPECT_TRUE(r.output == expected) << c.name;
  }
}

// Incomplete and over-subscribed literal/length and distance sets are refused in a dynamic block.
TEST_F(Inflate, RefusesIncompleteOrOverSubscribedDynamicSets) {
  std::vector<unsigned> litShort = completeLiteralLengths();
  litShort[285] = 0;  // one code short
  std::vector<unsigned> litOver = completeLiteralLengths();
  litOver[230] = 8;  // one 9-bit code made 8 bits: 1/512 too much
  const struct {
    const char* name;
    std::vector<unsigned> lit;
    std::vector<unsigned> dist;
  } cases[] = {
      {"literal/length set one code short", litShort, {1, 1}},
      {"distance set of three 2-bit codes", completeLiteralLengths(), {2, 2, 2}},
      {"literal/length set over-subscribed", litOver, {1, 1}},
      {"distance set of three 1-bit codes", completeLiteralLengths(), {1, 1, 1}},
  };
  for (const auto& c : cases) {
    BitWriter w;
    writeDynamicHeader(w, true, c.lit, c.dist);
    w.bits(0, 32);
    EXPECT_EQ(decode(w.finish(), {}).failure, DecodeFailure::FormatViolated) << c.name;
  }
}

// Over-subscribed and incomplete code-length codes are refused.
TEST_F(Inflate, RefusesBadCodeLengthCodes) {
  for (unsigned length : {1u, 7u}) {  // 19 codes of 1 bit are over-subscribed; of 7 bits incomplete
    BitWriter w;
    w.blockHeader(true, 2);
    w.bits(0, 5);
    w.bits(0, 5);
    w.bits(15, 4);
    for (int i = 0; i < 19; ++i) w.bits(length, 3);
    w.bits(0, 32);
    EXPECT_EQ(decode(w.finish(), {}).failure, DecodeFailure::FormatViolated) << length;
  }
}

// A code-length repeat that runs past the list of lengths is refused; one at the very start
// repeats the length 0.
TEST_F(Inflate, CodeLengthRepeats) {
  // Code-length code: symbols 0..15 four bits, 16..18 absent except 16 and 18 take the place of
  // 14 and 15, keeping the code complete.
  auto header = [](BitWriter& w, unsigned hlitField) {
    w.blockHeader(true, 2);
    w.bits(hlitField, 5);
    w.bits(0, 5);
    w.bits(15, 4);
    for (unsigned symbol : kCodeLengthOrder) w.bits((symbol < 14 || symbol == 16 || symbol == 18) ? 4 : 0, 3);
  };
  // Canonical 4-bit codes: 0..13 -> 0..13, 16 -> 14, 18 -> 15.
  BitWriter over;
  header(over, 0);
  over.code(15, 4);  // 18: 11 + 7 bits of zeros
  over.bits(127, 7);  // 138 zeros
  over.code(15, 4);
  over.bits(127, 7);  // 276 > 258
  EXPECT_EQ(decode(over.finish(), {}).failure, DecodeFailure::FormatViolated);

  BitWriter start;
  header(start, 0);
  start.code(14, 4);  // 16 with no length before it: three zeros
  start.bits(0, 2);
  start.bits(0, 32);
  // Only zeros so far then bits that run out: the stream must fail, never crash.
  const auto r = decode(start.finish(), {});
  EXPECT_EQ(r.outcome, kz::MemberOutcome::DecodeFailed);
}

// A dynamic block without any distance code decodes literals, and refuses a match, also where
// the match is met with plenty of input behind it (the fast path).
TEST_F(Inflate, EmptyDistanceTable) {
  BitWriter ok;
  const Dynamic d = writeDynamicHeader(ok, true, completeLiteralLengths(), {0});
  ok.code(d.litCodes['q'], d.lit['q']);
  ok.code(d.litCodes[256], d.lit[256]);
  EXPECT_EQ(decode(ok.finish(), Bytes{'q'}).outcome, kz::MemberOutcome::Decoded);

  for (const unsigned padding : {4u, 200u}) {
    BitWriter bad;
    const Dynamic e = writeDynamicHeader(bad, true, completeLiteralLengths(), {0});
    bad.code(e.litCodes['q'], e.lit['q']);
    bad.code(e.litCodes[257], e.lit[257]);
    for (unsigned i = 0; i < padding; ++i) bad.byte(0);
    EXPECT_EQ(decode(bad.finish(), {}).failure, DecodeFailure::FormatViolated) << padding;
  }
}

}  // namespace
