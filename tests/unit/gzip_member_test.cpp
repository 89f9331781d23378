// The gzip member decoder: header rules, trailers, budgets, flush sizes, write errors, PK entries.
#include "package/gzip_member.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "package/inflate.h"
#include "platform/files.h"
#include "support/gzip_fixtures.h"
#include "support/temp_dir.h"

namespace {

using kz::DecodeFailure;
using kz::MemberMethod;
using kz::test::Bytes;
using kz::test::decodeMemberBytes;

class GzipMember : public ::testing::Test {
 protected:
  kz::test::TempDir dir_;
  std::string out_ = dir_.file("out.bin");
  Bytes data_ = kz::test::textBytes(70000, 9);
  Bytes member_ = kz::test::zlibGzip(data_, 6, Z_DEFAULT_STRATEGY);
};

// Members that decode whole into the reader's file (never one of the member's own name); one that
// decodes to nothing gives an empty file, whose CRC 0 and length 0 check out.
TEST_F(GzipMember, DecodesWholeMembers) {
  kz::test::GzipHeaderOptions oldMagic;
  oldMagic.magic2 = 0x9E;
  kz::test::GzipHeaderOptions named;
  named.flags = 0x04 | 0x08 | 0x10 | 0x01;
  named.extra = Bytes(300, 0xAB);
  named.name = "other-name.txt";
  named.comment = "a comment";
  const Bytes deflate = kz::test::rawDeflate(data_, 6, Z_DEFAULT_STRATEGY);
  const struct {
    const char* name;
    Bytes member;
    Bytes expected;
  } cases[] = {
      {"old magic", kz::test::wrapGzip(deflate, data_, oldMagic), data_},
      {"extra field, name and comment", kz::test::wrapGzip(deflate, data_, named), data_},
      {"empty member", kz::test::zlibGzip({}, 9, Z_DEFAULT_STRATEGY), {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto r = decodeMemberBytes(c.member, out_);
    EXPECT_EQ(r.header, MemberMethod::Deflated);
    EXPECT_EQ(r.outcome, kz::MemberOutcome::Decoded);
    EXPECT_TRUE(r.outputExists);
    EXPECT_TRUE(r.output == c.expected);
    EXPECT_FALSE(std::filesystem::exists(dir_.file("other-name.txt")));
  }
}

// Header CRC and the reserved flag bits are refused by the header step, before any file exists.
TEST_F(GzipMember, RefusesHeaderCrcAndReservedFlagsBeforeAnyFileExists) {
  for (int flag : {0x02, 0x20, 0x40, 0x80}) {
    kz::test::GzipHeaderOptions o;
    o.flags = static_cast<uint8_t>(flag);
    const auto r = decodeMemberBytes(kz::test::wrapGzip(kz::test::rawDeflate(data_, 6, Z_DEFAULT_STRATEGY), data_, o), out_);
    EXPECT_EQ(r.header, MemberMethod::Refused) << int(flag);
    EXPECT_EQ(r.failure, DecodeFailure::HeaderRefused);
    EXPECT_FALSE(r.outputExists);
  }
}

// Other methods and magics, and PK entries this reader cannot use, are refused by the header
// step, before any file exists.
TEST_F(GzipMember, RefusesUnusableHeaders) {
  kz::test::GzipHeaderOptions otherMethod;
  otherMethod.method = 7;
  kz::test::PkEntryOptions encrypted;
  encrypted.flags = 1;
  Bytes pkOtherMethod = kz::test::pkEntry(data_);
  pkOtherMethod[8] = 12;
  kz::test::PkEntryOptions longExtra;
  longExtra.extra = Bytes(40000, 0);
  const struct {
    const char* name;
    Bytes member;
  } cases[] = {
      {"gzip method 7", kz::test::wrapGzip({}, {}, otherMethod)},
      {"magic 1F 8C", {0x1F, 0x8C, 8, 0, 0, 0, 0, 0, 0, 11, 3, 0}},
      {"PK without a local entry's signature", {'P', 'K', 1, 2, 0, 0, 0, 0, 0, 0, 0, 0}},
      {"encrypted PK entry", kz::test::pkEntry(data_, encrypted)},
      {"PK method 12", pkOtherMethod},
      {"PK name and extra beyond the first refill", kz::test::pkEntry(data_, longExtra)},
      {"PK signature and nothing else", {'P', 'K', 3, 4, 20, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(decodeMemberBytes(c.member, out_).header, MemberMethod::Refused);
    EXPECT_FALSE(std::filesystem::exists(out_));
  }
}

// An empty BODY, or one shorter than the header, ends the input inside the member: abort, -1.
TEST_F(GzipMember, ShortBodiesAbortTheHeaderStep) {
  for (size_t length : {0u, 1u, 5u, 9u}) {
    const auto r = decodeMemberBytes(member_, static_cast<uint32_t>(length), out_);
    EXPECT_EQ(r.header, MemberMethod::Refused) << length;
    EXPECT_EQ(r.failure, DecodeFailure::InputEnded) << length;
    EXPECT_TRUE(r.abortFlag) << length;
    EXPECT_LE(r.inputPosition, length);
  }
}

// A member cut anywhere inside its trailer aborts, and the partial output is deleted.
TEST_F(GzipMember, TrailerCutShortDeletesTheOutput) {
  for (size_t cut = 1; cut <= 8; ++cut) {
    const auto budget = static_cast<uint32_t>(member_.size() - cut);
    const auto r = decodeMemberBytes(member_, budget, out_);
    EXPECT_EQ(r.outcome, kz::MemberOutcome::DecodeFailed) << cut;
    EXPECT_EQ(r.failure, DecodeFailure::InputEnded) << cut;
    EXPECT_FALSE(r.outputExists) << cut;
    EXPECT_LE(r.inputPosition, budget) << "the budget is a hard limit";
  }
}

// A member whose checks disagree with its data fails naming why, and its output is deleted.
TEST_F(GzipMember, FailedChecksNameTheirReason) {
  Bytes badCrc = member_;
  badCrc[badCrc.size() - 8] ^= 0x01;
  Bytes badLength = member_;
  badLength[badLength.size() - 4] ^= 0x01;
  kz::test::PkEntryOptions described;
  described.flags = 8;
  Bytes badDescriptor = kz::test::pkEntry(data_, described);
  badDescriptor[badDescriptor.size() - 12] ^= 0xFF;  // the descriptor's CRC
  kz::test::PkEntryOptions stored;
  stored.method = 0;
  Bytes badSizes = kz::test::pkEntry(data_, stored);
  badSizes[18] ^= 1;  // compressed size
  const struct {
    const char* name;
    Bytes member;
    DecodeFailure failure;
  } cases[] = {
      {"trailer CRC", badCrc, DecodeFailure::CrcError},
      {"trailer length", badLength, DecodeFailure::LengthError},
      {"PK descriptor CRC", badDescriptor, DecodeFailure::CrcError},
      {"stored PK sizes", badSizes, DecodeFailure::LengthMismatch},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto r = decodeMemberBytes(c.member, out_);
    EXPECT_EQ(r.outcome, kz::MemberOutcome::DecodeFailed);
    EXPECT_EQ(r.failure, c.failure);
    EXPECT_FALSE(r.outputExists);
  }
}

// Bytes after the trailer are never read: a pad byte or a second member is left alone.
TEST_F(GzipMember, StopsAtTheTrailer) {
  Bytes two = member_;
  const Bytes second = kz::test::zlibGzip(Bytes(10, 'z'), 6, Z_DEFAULT_STRATEGY);
  two.insert(two.end(), second.begin(), second.end());
  const auto r = decodeMemberBytes(two, out_);
  EXPECT_EQ(r.outcome, kz::MemberOutcome::Decoded);
  EXPECT_TRUE(r.output == data_);
  EXPECT_EQ(r.inputPosition, std::min<size_t>(two.size(), 32768 * ((member_.size() + 32767) / 32768)))
      << "only whole refills of this member's budget are read";
}

// The header step reads exactly one refill of at most 32 KiB, never past the budget.
TEST_F(GzipMember, RefillsAtMost32KiBWithinTheBudget) {
  const Bytes big = kz::test::zlibGzip(kz::test::randomBytes(100000, 4), 1, Z_DEFAULT_STRATEGY);
  kz::ReaderContext ctx{};
  ASSERT_TRUE(kz::initReader(ctx));
  kz::openMemoryInput(ctx, big.data());
  ctx.input.size = static_cast<uint32_t>(big.size());
  kz::resetMemberState(ctx, 40000);
  EXPECT_EQ(kz::readMemberHeader(), MemberMethod::Deflated);
  EXPECT_EQ(ctx.input.position, 32768u);
  EXPECT_EQ(ctx.bytesIn, 32768u);
  kz::destroyReader(ctx);
}

// Output leaves in writes of at most 32,768 bytes: every full window, then the rest once.
TEST_F(GzipMember, FlushesWholeWindowsThenTheRest) {
  struct Recorder : kz::platform::ForwardingFileSystem {
    using ForwardingFileSystem::ForwardingFileSystem;
    std::vector<size_t> writes;
    std::FILE* openFile(const char* p, const char* m) override {
      std::FILE* f = inner_.openFile(p, m);
      if (f == nullptr) return nullptr;
      cookie_io_functions_t io{};
      io.write = [](void* self, const char*, size_t n) -> ssize_t {
        static_cast<Recorder*>(self)->writes.push_back(n);
        return static_cast<ssize_t>(n);
      };
      io.close = [](void*) { return 0; };
      std::fclose(f);
      std::FILE* c = fopencookie(this, "w", io);
      std::setvbuf(c, nullptr, _IONBF, 0);
      return c;
    }
  } recorder(kz::platform::nativeFileSystem());
  kz::platform::ScopedFileSystem scope(recorder);
  const Bytes data = kz::test::textBytes(3 * 32768 + 123, 3);
  const auto r = decodeMemberBytes(kz::test::zlibGzip(data, 9, Z_DEFAULT_STRATEGY), out_);
  // Decoded, but the recorder kept the bytes from the file, which is left empty.
  ASSERT_EQ(r.outcome, kz::MemberOutcome::OutputIncomplete);
  EXPECT_EQ(recorder.writes, (std::vector<size_t>{32768, 32768, 32768, 123}));
}

// A write error reported by the runtime aborts the member and deletes the output.
TEST_F(GzipMember, WriteErrorAbortsAndDeletes) {
  struct Failing : kz::platform::ForwardingFileSystem {
    using ForwardingFileSystem::ForwardingFileSystem;
    std::FILE* openFile(const char* p, const char* m) override {
      std::FILE* f = inner_.openFile(p, m);  // the file exists, so its deletion can be seen
      if (f == nullptr) return nullptr;
      std::fclose(f);
      cookie_io_functions_t io{};
      io.write = [](void*, const char*, size_t) -> ssize_t {
        errno = ENOSPC;
        return -1;
      };
      io.close = [](void*) { return 0; };
      std::FILE* c = fopencookie(nullptr, "w", io);
      std::setvbuf(c, nullptr, _IONBF, 0);
      return c;
    }
  } failing(kz::platform::nativeFileSystem());
  kz::platform::ScopedFileSystem scope(failing);
  const auto r = decodeMemberBytes(member_, out_);
  EXPECT_EQ(r.outcome, kz::MemberOutcome::DecodeFailed);
  EXPECT_EQ(r.failure, DecodeFailure::WriteError);
  EXPECT_FALSE(r.outputExists);
}

// Running out of memory for the decoding tables is its own failure.
TEST_F(GzipMember, TableAllocationFailureIsOutOfMemory) {
  // The first allocation, and later ones once tables of the member have been built: the
  // sanitizer build sees that what was built is freed.
  static int allowed;
  for (const int before : {0, 1, 2}) {  // the code-length, literal/length and distance tables
    allowed = before;
    kz::setTableAllocatorForTesting([](size_t n) -> void* { return allowed-- > 0 ? std::malloc(n) : nullptr; });
    const auto r = decodeMemberBytes(member_, out_);
    kz::setTableAllocatorForTesting(nullptr);
    EXPECT_EQ(r.outcome, kz::MemberOutcome::DecodeFailed) << before;
    EXPECT_EQ(r.failure, DecodeFailure::OutOfMemory) << before;
    EXPECT_FALSE(r.outputExists) << before;
  }
}

// PK local entries: stored and deflated, with and without the trailing descriptor.
TEST_F(GzipMember, DecodesPkEntries) {
  for (int method : {0, 8}) {
    for (int flags : {0, 8}) {
      kz::test::PkEntryOptions o;
      o.method = static_cast<uint16_t>(method);
      o.flags = static_cast<uint16_t>(flags);
      const Bytes data = method == 0 && flags == 8 ? Bytes{} : data_;  // a stored entry with a descriptor carries sizes 0
      const auto r = decodeMemberBytes(kz::test::pkEntry(data, o), out_);
      EXPECT_EQ(r.header, static_cast<MemberMethod>(method)) << method << "/" << flags;
      EXPECT_EQ(r.outcome, kz::MemberOutcome::Decoded) << method << "/" << flags << ": " << kz::describeDecodeFailure(r.failure);
      EXPECT_TRUE(r.output == data) << method << "/" << flags;
    }
  }
}

// A stored entry whose data ends early fails as input that ended, wherever it is cut, also when
// most of a window is still to come; nothing is left of the output.
TEST_F(GzipMember, StoredPkEntryCutShort) {
  kz::test::PkEntryOptions o;
  o.method = 0;
  const Bytes entry = kz::test::pkEntry(data_, o);
  const uint32_t dataStart = static_cast<uint32_t>(entry.size() - data_.size());
  for (uint32_t present : {0u, 1u, 1000u, 32767u, 40000u}) {
    const auto r = decodeMemberBytes(entry, dataStart + present, out_);
    EXPECT_EQ(r.failure, DecodeFailure::InputEnded) << present << ": " << kz::describeDecodeFailure(r.failure);
    EXPECT_EQ(r.outcome, kz::MemberOutcome::DecodeFailed) << present;
    EXPECT_FALSE(r.outputExists) << present;
  }
}

// After a PK entry fails, or is accepted but never decoded, the next gzip member is judged by
// its own header.
TEST_F(GzipMember, PkStateNeverLeaksIntoTheNextMember) {
  Bytes broken = kz::test::pkEntry(data_);
  broken[14] ^= 0xFF;  // CRC in the local header
  EXPECT_EQ(decodeMemberBytes(broken, out_).failure, DecodeFailure::CrcError);
  auto r = decodeMemberBytes(member_, out_);
  EXPECT_EQ(r.outcome, kz::MemberOutcome::Decoded);
  EXPECT_TRUE(r.output == data_);

  // Header accepted, then the reader gives up before decoding (as when its folder cannot be made).
  const Bytes pk = kz::test::pkEntry(data_);
  kz::ReaderContext ctx{};
  ASSERT_TRUE(kz::initReader(ctx));
  kz::openMemoryInput(ctx, pk.data());
  ctx.input.size = static_cast<uint32_t>(pk.size());
  kz::resetMemberState(ctx, ctx.input.size);
  ASSERT_EQ(kz::readMemberHeader(), MemberMethod::Deflated);
  kz::destroyReader(ctx);
  r = decodeMemberBytes(member_, out_);
  EXPECT_EQ(r.outcome, kz::MemberOutcome::Decoded) << kz::describeDecodeFailure(r.failure);
}

// A member decoded only to check it goes to the null device: when it fails, the abort must not
// delete that device (the deletion is only recorded here, so that no run can lose it).
TEST_F(GzipMember, DiscardedOutputIsNeverDeleted) {
  struct Recording : kz::platform::ForwardingFileSystem {
    using ForwardingFileSystem::ForwardingFileSystem;
    std::vector<std::string> deleted;
    bool deleteFile(const char* p) override {
      deleted.emplace_back(p);
      return false;
    }
  } recording(kz::platform::nativeFileSystem());
  kz::platform::ScopedFileSystem scope(recording);
  Bytes broken = member_;
  broken[broken.size() - 8] ^= 0xFF;  // the CRC in the trailer
  kz::ReaderContext ctx{};
  ASSERT_TRUE(kz::initReader(ctx));
  kz::openMemoryInput(ctx, broken.data());
  ctx.input.size = static_cast<uint32_t>(broken.size());
  EXPECT_EQ(kz::decodeMemberToFile(ctx, ctx.input.size, nullptr), kz::MemberOutcome::DecodeFailed);
  EXPECT_EQ(kz::lastDecodeFailure(), DecodeFailure::CrcError);
  for (const std::string& path : recording.deleted) EXPECT_EQ(path, "");
  kz::destroyReader(ctx);
}

// The member's CRC: a reset starts it over, stretches add up to the CRC of all their bytes, and
// a stretch of no bytes changes nothing.
TEST(MemberCrc, ResetsAccumulatesAndReports) {
  const uint8_t digits[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  kz::resetMemberCrc();
  EXPECT_EQ(kz::memberCrc(), 0u);
  kz::addToMemberCrc(digits, 4);
  kz::addToMemberCrc(digits + 4, 5);
  EXPECT_EQ(kz::memberCrc(), 0xCBF43926u);
  kz::addToMemberCrc(digits, 0);
  EXPECT_EQ(kz::memberCrc(), 0xCBF43926u);
  kz::resetMemberCrc();
  EXPECT_EQ(kz::memberCrc(), 0u);
}

}  // namespace
