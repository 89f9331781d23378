// The fast engine against the plain reference engine where the fast one keeps its own layout
// (the history and the windows after it in one straight buffer, wide tables of packed entries, look-ahead taken eight
// bytes at a time): the window across members, the input at every refill, and the codes that the
// wide tables hold as invalid.
#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <utility>
#include <stdexcept>

#include "package/gzip_member.h"
#include "package/inflate.h"
#include "package/reader_context.h"
#include "platform/files.h"
#include "support/bit_writer.h"
#include "support/gzip_fixtures.h"
#include "support/reference_inflate.h"
#include "support/temp_dir.h"

namespace {

using kz::test::BitWriter;
using kz::test::Bytes;

struct Decoded {
  kz::MemberOutcome outcome = kz::MemberOutcome::HeaderRefused;
  kz::DecodeFailure failure = kz::DecodeFailure::None;
  Bytes output;
};

// Decodes several members one after the other in one reader context, as the package reader does
// for the entries of one package: the window is not cleared between them.
std::vector<Decoded> decodeInOneContext(kz::InflateEngine engine, const std::vector<Bytes>& members,
                                        const std::string& out) {
  kz::setInflateEngineForTesting(engine);
  std::vector<Decoded> results;
  kz::ReaderContext ctx{};
  if (!kz::initReader(ctx)) throw std::runtime_error("initReader failed");
  for (const Bytes& m : members) {
    Decoded d;
    kz::openMemoryInput(ctx, m.data());
    ctx.input.size = static_cast<uint32_t>(m.size());
    const kz::MemberOutcome outcome = kz::decodeMemberToFile(ctx, static_cast<uint32_t>(m.size()), out.c_str());
    if (outcome == kz::MemberOutcome::HeaderRefused) throw std::runtime_error("header refused");
    if (outcome == kz::MemberOutcome::OutputNotOpened) throw std::runtime_error("cannot open output");
    d.outcome = outcome;
    d.failure = kz::lastDecodeFailure();
    kz::closeMemoryInput(ctx);
    std::error_code ec;
    if (std::filesystem::exists(out, ec)) {
      std::ifstream in(out, std::ios::binary);
      d.output.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    results.push_back(d);
    if (ctx.abortFlag) break;  // the buffers are gone with the entry
  }
  kz::destroyReader(ctx);
  kz::setInflateEngineForTesting(nullptr);
  return results;
}

// Length symbol and extra bits of a match length, distance symbol and extra bits of a distance.
void fixedMatch(BitWriter& w, unsigned length, unsigned distance) {
  unsigned l = 28;
  while (kz::test::kLengthBase[l] > length) --l;
  w.fixedSymbol(257 + l);
  w.bits(length - kz::test::kLengthBase[l], kz::test::kLengthExtra[l]);
  unsigned d = 29;
  while (kz::test::kDistBase[d] > distance) --d;
  w.fixedDistance(d);
  w.bits(distance - kz::test::kDistBase[d], kz::test::kDistExtra[d]);
}

// A member whose matches reach before its own start read the window the member before left: its
// last partial window at positions 0..r-1, the rest of the window before it at r..32,767. The
// first members are long enough to end in the buffer's last window and past its move to the start,
// and each takes distance 32,768 at every window start, reading the first byte of the history.
TEST(InflateWindow, MatchesBeforeTheStartReadTheWindowTheMemberBeforeLeft) {
  kz::test::TempDir dir;
  const std::string out = dir.file("out.bin");
  const Bytes text = kz::test::textBytes(300000, 31);
  for (const size_t size : {size_t{40000}, size_t{6 * 32768 + 7232}, size_t{8 * 32768 + 7232}}) {
    Bytes first;
    BitWriter head;
    head.blockHeader(true, 1);
    while (first.size() < size) {
      if (first.size() % 32768 == 0 && !first.empty()) {
        fixedMatch(head, 20, 32768);
        for (int k = 0; k < 20; ++k) first.push_back(first[first.size() - 32768]);
      } else {
        head.fixedSymbol(text[first.size()]);
        first.push_back(text[first.size()]);
      }
    }
    head.fixedSymbol(256);
    const size_t r = size % 32768;
    const auto history = [&](size_t p) { return first[size - r - (p < r ? 0 : 32768) + p]; };
    // Each match reads the window from a position at or after its own, so none is overwritten yet.
    Bytes expected;
    BitWriter w;
    w.blockHeader(true, 1);
    size_t at = 0;
    for (const auto& [length, from] : {std::pair<size_t, size_t>{100, 32668}, {50, 100}, {30, 25918}, {10, r - 5}}) {
      fixedMatch(w, static_cast<unsigned>(length), static_cast<unsigned>(32768 + at - from));
      for (size_t k = 0; k < length; ++k) expected.push_back(history(from + k));
      at += length;
    }
    expected.push_back('!');
    w.fixedSymbol('!');
    w.fixedSymbol(256);
    const std::vector<Bytes> members = {kz::test::wrapGzip(head.finish(), first), kz::test::wrapGzip(w.finish(), expected)};

    for (kz::InflateEngine engine : {kz::InflateEngine{nullptr}, &kz::test::referenceInflateMember}) {
      const std::vector<Decoded> d = decodeInOneContext(engine, members, out);
      ASSERT_EQ(d.size(), 2u);
      EXPECT_EQ(d[0].outcome, kz::MemberOutcome::Decoded) << size;
      EXPECT_TRUE(d[0].output == first) << size;
      EXPECT_EQ(d[1].outcome, kz::MemberOutcome::Decoded) << kz::describeDecodeFailure(d[1].failure);
      EXPECT_TRUE(d[1].output == expected) << size << (engine == nullptr ? " fast engine" : " reference engine");
    }
  }
}

// Whole packages' worth of members in one context: every member's output is the same with both
// engines, including members that end at, just before and just after a window boundary.
TEST(InflateWindow, SameOutputsForMembersInOneContext) {
  kz::test::TempDir dir;
  const std::string out = dir.file("out.bin");
  std::vector<Bytes> members;
  const Bytes text = kz::test::textBytes(200000, 32);
  const Bytes bin = kz::test::systemBinaryBytes(200000);
  for (size_t size : {size_t{32768}, size_t{32767}, size_t{32769}, size_t{65536 + 300}, size_t{1}, size_t{100000}}) {
    members.push_back(kz::test::zlibGzip(Bytes(text.begin(), text.begin() + static_cast<long>(size)), 9, Z_DEFAULT_STRATEGY));
    members.push_back(kz::test::zlibGzip(Bytes(bin.begin(), bin.begin() + static_cast<long>(std::min(size, bin.size()))), 1, Z_RLE));
  }
  const std::vector<Decoded> fast = decodeInOneContext(nullptr, members, out);
  const std::vector<Decoded> slow = decodeInOneContext(&kz::test::referenceInflateMember, members, out);
  ASSERT_EQ(fast.size(), members.size());
  ASSERT_EQ(slow.size(), members.size());
  for (size_t i = 0; i < members.size(); ++i) {
    EXPECT_EQ(fast[i].outcome, kz::MemberOutcome::Decoded) << i;
    EXPECT_EQ(slow[i].outcome, kz::MemberOutcome::Decoded) << i;
    EXPECT_TRUE(fast[i].output == slow[i].output) << i;
  }
}

void expectSameAtBudget(const Bytes& member, uint32_t budget, const std::string& out, const std::string& what) {
  const kz::test::MemberResult fast = kz::test::decodeMemberBytesWith(nullptr, member, budget, out);
  const kz::test::MemberResult slow =
      kz::test::decodeMemberBytesWith(&kz::test::referenceInflateMember, member, budget, out);
  ASSERT_EQ(kz::test::differenceBetween(fast, slow), "") << what;
}

// Members with long codes (sub-tables in both layouts), cut at every budget over their last 48
// bytes and around the end of the first refill: the input ends inside a code, inside its extra
// bits, inside the look-ahead the described tables need, or just after the stream; each engine
// must refill, stop and report at the same place.
TEST(InflateRefills, SameAtEveryBudgetNearTheEndAndTheFirstRefill) {
  kz::test::TempDir dir;
  const std::string out = dir.file("out.bin");
  // Skewed text gives literal codes of up to 15 bits; binaries give long distance codes.
  Bytes skewed = kz::test::textBytes(400000, 33);
  for (size_t i = 0; i < skewed.size(); i += 97) skewed[i] = static_cast<uint8_t>(128 + (i * 7) % 128);
  const std::vector<Bytes> members = {
      kz::test::zlibGzip(skewed, 9, Z_DEFAULT_STRATEGY),
      kz::test::zlibGzip(skewed, 9, Z_HUFFMAN_ONLY),
      kz::test::zlibGzip(kz::test::systemBinaryBytes(300000), 6, Z_DEFAULT_STRATEGY),
      kz::test::zlibGzip(kz::test::systemBinaryBytes(300000), 6, Z_FIXED),
  };
  for (size_t m = 0; m < members.size(); ++m) {
    const auto size = static_cast<uint32_t>(members[m].size());
    ASSERT_GT(size, 32768u + 64u);
    for (uint32_t budget = size - 48; budget <= size; ++budget) {
      expectSameAtBudget(members[m], budget, out, "member " + std::to_string(m) + " budget " + std::to_string(budget));
    }
    for (uint32_t budget = 32768 - 40; budget <= 32768 + 40; ++budget) {
      expectSameAtBudget(members[m], budget, out, "member " + std::to_string(m) + " budget " + std::to_string(budget));
    }
  }
}

// Records every write of the output with the input position it happened at: the order of window
// flushes and input refills.
struct IoRecorder : kz::platform::ForwardingFileSystem {
  using ForwardingFileSystem::ForwardingFileSystem;
  std::vector<std::pair<size_t, uint32_t>> writes;
  std::FILE* openFile(const char* p, const char* m) override {
    std::FILE* f = inner_.openFile(p, m);
    if (f == nullptr) return nullptr;
    std::fclose(f);
    cookie_io_functions_t io{};
    io.write = [](void* self, const char*, size_t n) -> ssize_t {
      static_cast<IoRecorder*>(self)->writes.emplace_back(n, kz::currentReader()->input.position);
      return static_cast<ssize_t>(n);
    };
    io.close = [](void*) { return 0; };
    std::FILE* c = fopencookie(this, "w", io);
    std::setvbuf(c, nullptr, _IONBF, 0);
    return c;
  }
};

// A code-length code with a single code of length 1 is complete, but the other 1-bit code is
// unused: a block that sends it is invalid data with both engines, wherever it stands.
TEST(InflateCodes, UnusedCodeOfASingleCodeLengthCodeIsInvalid) {
  kz::test::TempDir dir;
  const std::string out = dir.file("out.bin");
  for (unsigned before = 0; before < 3; ++before) {
    BitWriter w;
    w.blockHeader(true, 2);
    w.bits(0, 5);  // 257 literal/length codes
    w.bits(0, 5);  // 1 distance code
    w.bits(1, 4);  // 5 code-length code lengths: for 16, 17, 18, 0 and 8
    for (unsigned l : {0u, 0u, 0u, 0u, 1u}) w.bits(l, 3);
    for (unsigned i = 0; i < before; ++i) w.code(0, 1);  // length 8, the one code
    w.code(1, 1);                                        // the unused code
    w.bits(0, 32);
    const Bytes member = kz::test::wrapGzip(w.finish(), {});
    for (kz::InflateEngine engine : {kz::InflateEngine{nullptr}, &kz::test::referenceInflateMember}) {
      const kz::test::MemberResult r =
          kz::test::decodeMemberBytesWith(engine, member, static_cast<uint32_t>(member.size()), out);
      EXPECT_EQ(r.outcome, kz::MemberOutcome::DecodeFailed) << before;
      EXPECT_EQ(r.failure, kz::DecodeFailure::FormatViolated) << before << (engine == nullptr ? " fast" : " reference");
    }
  }
}

// Literal codes of 7 to 9 bits, where the described tables look 9 bits ahead: a stored file name
// moves the first refill across the first window flush one byte at a time, and several data sets
// put the code that fills the window at every bit position. Each engine must refill before or
// after each flush exactly where the other does.
TEST(InflateRefills, RefillsAndFlushesInTheSameOrder) {
  kz::test::TempDir dir;
  const std::string out = dir.file("out.bin");
  int crossings = 0;
  for (uint32_t seed = 0; seed < 32; ++seed) {
    std::mt19937 rng(100 + seed);
    Bytes data(45000);
    for (auto& b : data) {
      const auto r = static_cast<uint32_t>(rng());
      b = static_cast<uint8_t>((r & 3u) == 0 ? (r >> 8) % 24 : r >> 8);
    }
    const Bytes deflated = kz::test::rawDeflate(data, 9, Z_HUFFMAN_ONLY);
    // Names this long put the end of the first refill near the first flush.
    for (size_t nameLength = 840; nameLength <= 940; ++nameLength) {
      kz::test::GzipHeaderOptions o;
      o.flags = 0x08;
      o.name.assign(nameLength, 'n');
      const Bytes member = kz::test::wrapGzip(deflated, data, o);
      std::vector<std::pair<size_t, uint32_t>> logs[2];
      for (int e = 0; e < 2; ++e) {
        IoRecorder recorder(kz::platform::nativeFileSystem());
        kz::platform::ScopedFileSystem scope(recorder);
        const kz::test::MemberResult r = kz::test::decodeMemberBytesWith(
            e == 0 ? nullptr : &kz::test::referenceInflateMember, member, static_cast<uint32_t>(member.size()), out);
        // Decoded, but the recorder keeps the bytes from the file, which is left empty.
        ASSERT_EQ(r.outcome, kz::MemberOutcome::OutputIncomplete) << seed << " " << nameLength;
        logs[e] = recorder.writes;
      }
      ASSERT_EQ(logs[0], logs[1]) << "data set " << seed << ", name of " << nameLength << " bytes";
      ASSERT_FALSE(logs[0].empty());
      if (logs[0][0].second != 32768) ++crossings;
    }
  }
  EXPECT_GT(crossings, 32) << "the sweep should move the refill before the first flush";
}

}  // namespace
