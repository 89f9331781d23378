// Extraction of KZ6 forms into the work folder: entries, folders, times, attributes, refusals.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "package/extract_package.h"
#include "package/form_writer.h"
#include "package/package_area.h"
#include "package/package_reader.h"
#include "platform/files.h"
#include "support/form_fixtures.h"
#include "support/recording_files.h"
#include "support/temp_dir.h"

namespace kz {
namespace {

using test::Bytes;
using test::FormBuilder;
using test::FormFile;
using test::nameData;
using test::readFileBytes;
using test::textOf;
using test::treeOf;

namespace fs = std::filesystem;

class Extraction : public ::testing::Test {
 protected:
  void SetUp() override {
    work = dir.path() / "work";
    fs::create_directory(work);
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    startDirectory = cwd;
  }
  void TearDown() override {
    // Every path, failures included, gives the current directory back.
    EXPECT_EQ(fs::current_path(), fs::path(startDirectory));
  }

  bool extract(const Bytes& form) {
    return extractForm(form.data(), static_cast<uint32_t>(form.size()), work.string().c_str());
  }
  Bytes fileAt(const std::string& rel) { return readFileBytes(work / rel); }
  std::vector<std::string> workTree() { return treeOf(work); }

  test::TempDir dir;
  fs::path work;
  std::string startDirectory;
};

const Bytes kAlpha = textOf("alpha contents\n");
const Bytes kBeta = textOf("beta, a little longer than alpha\n");

// Forms that extract, each giving exactly its entries with their bytes. Chunks are found by their
// lengths: never by looking inside an unknown chunk, past a BODY's member, or round from the end.
TEST_F(Extraction, ExtractsTheEntriesTheFormHolds) {
  const Bytes big = test::textBytes(200000, 7);
  Bytes odd;
  for (int n = 1; test::gzipMemberOf(odd).size() % 2 == 0; ++n) odd = test::textBytes(static_cast<size_t>(100 + n), 3);
  const Bytes pkContent = test::textBytes(680, 6);
  test::PkEntryOptions pkOptions;
  pkOptions.level = 6;
  pkOptions.name = "b.txt";
  const Bytes pk = test::pkEntry(pkContent, pkOptions);
  ASSERT_EQ(pk.size() % 2, 0u) << "no pad byte may follow the PK entry";
  const Bytes member = test::gzipMemberOf(kAlpha);
  Bytes longBody = member;
  longBody.insert(longBody.end(), {'N', 'A', 'M', 'E', 0, 0, 0, 0});  // would be read if not skipped
  const auto memberName = [&](const char* path) {
    return nameData(path, 0x20, 1600000000, static_cast<uint32_t>(member.size()));
  };
  using Files = std::vector<std::pair<std::string, Bytes>>;
  const struct {
    const char* name;
    Bytes form;
    std::vector<std::string> tree;
    Files contents;
  } cases[] = {
      {"VERS alone", FormBuilder().bytes(), {}, {}},
      {"every entry", FormBuilder().file({"a.txt", kAlpha}).file({"bin\\big.dll", big}).bytes(),
       {"a.txt", "bin/", "bin/big.dll"}, Files{{"a.txt", kAlpha}, {"bin/big.dll", big}}},
      {"version 6.99",  // the minor number is not checked
       FormBuilder(0x00060063).file({"a.txt", kAlpha}).bytes(), {"a.txt"}, Files{{"a.txt", kAlpha}}},
      {"unknown chunk",
       FormBuilder()
           .file({"a.txt", kAlpha})
           .chunk(chunkId('X', 'T', 'R', 'A'), FormBuilder().file({"trap.txt", kBeta}).bytes())
           .file({"b.txt", kBeta})
           .bytes(),
       {"a.txt", "b.txt"}, {}},
      {"1 stray byte", FormBuilder().file({"a.txt", kAlpha}).raw(Bytes(1, 'Z')).bytes(), {"a.txt"}, {}},
      {"2 stray bytes", FormBuilder().file({"a.txt", kAlpha}).raw(Bytes(2, 'Z')).bytes(), {"a.txt"}, {}},
      {"3 stray bytes", FormBuilder().file({"a.txt", kAlpha}).raw(Bytes(3, 'Z')).bytes(), {"a.txt"}, {}},
      {"odd member",  // in a BODY with a pad byte, and the next NAME still found
       FormBuilder().file({"odd.bin", odd}).file({"next.txt", kAlpha}).bytes(), {"next.txt", "odd.bin"},
       Files{{"odd.bin", odd}, {"next.txt", kAlpha}}},
      {"PK entry ending at its BODY's last byte",  // its last code shorter than the look-ahead
       FormBuilder()
           .file({"a.txt", kAlpha})
           .name(nameData("b.txt", 0x20, 1600000000, static_cast<uint32_t>(pk.size()), 680))
           .body(pk)
           .file({"c.txt", kBeta})
           .bytes(),
       {"a.txt", "b.txt", "c.txt"}, Files{{"b.txt", pkContent}, {"c.txt", kBeta}}},
      {"BODY longer than its member",  // its end holds a NAME that must not be read
       FormBuilder().name(memberName("a.txt")).body(longBody).file({"b.txt", kBeta}).bytes(),
       {"a.txt", "b.txt"}, {}},
      {"BODY length beyond the input",  // the walk ends at the input's end, not wrapping round
       FormBuilder().file({"a.txt", kAlpha}).name(memberName("b.txt")).chunkHead(kBodyId, 0xFFFFFFF0u).raw(member).bytes(),
       {"a.txt", "b.txt"}, Files{{"b.txt", kAlpha}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(work);
    fs::create_directory(work);
    EXPECT_TRUE(extract(c.form));
    EXPECT_EQ(workTree(), c.tree);
    for (const auto& [path, bytes] : c.contents) EXPECT_EQ(fileAt(path), bytes) << path;
  }
}

// Forms refused with nothing written: a bad form head, and NAME chunks that a lenient reader
// would accept, each followed by a well-formed BODY.
TEST_F(Extraction, RefusesFormsWithNothingWritten) {
  const Bytes form = FormBuilder().file({"a.txt", kAlpha}).bytes();
  Bytes badId = form;
  badId[0] = 'f';
  Bytes noVers = form;
  noVers[12] = 'X';
  Bytes noPathNul = nameData("abcd");
  noPathNul.resize(16 + 4);  // "abcd" without NUL; the BODY head that follows begins with 'B'
  Bytes noNoteNul = nameData("abcd", 0x20, 0, 0, 0, "xyz");
  noNoteNul.resize(16 + 5 + 3);  // even, so no pad byte supplies the missing NUL
  const auto withName = [](const Bytes& data) {
    return FormBuilder().name(data).body(test::gzipMemberOf(kAlpha)).bytes();
  };
  const struct {
    const char* name;
    Bytes form;
  } cases[] = {
      {"FORM id", badId},
      {"form type in lower case", FormBuilder(kFormVersion611, chunkId('k', 'z', '6', ' ')).file({"a.txt", kAlpha}).bytes()},
      {"first chunk not VERS", noVers},
      {"ends inside the version", Bytes(form.begin(), form.begin() + 22)},
      {"version 7.0", FormBuilder(0x00070000).file({"a.txt", kAlpha}).bytes()},
      {"NAME data of 14 bytes", withName(Bytes(14, 0))},
      {"path without its NUL", withName(noPathNul)},
      {"note without its NUL", withName(noNoteNul)},
      {"NAME length beyond the input",  // refused without allocating it
       FormBuilder().chunkHead(kNameId, 0xFFFFFFF0u).raw(nameData("a.txt")).bytes()},
      {"path of 260 characters",  // a NAME may hold it, a path buffer not
       withName(nameData(std::string(200, 'a') + "\\" + std::string(59, 'b')))},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(extract(c.form));
    EXPECT_TRUE(workTree().empty());
  }
}

// Four stray bytes after the last entry make a chunk id without a length, which fails.
TEST_F(Extraction, FourStrayBytesAtTheEndFail) {
  EXPECT_FALSE(extract(FormBuilder().file({"a.txt", kAlpha}).raw(textOf("ZZZZ")).bytes()));
}

// Three folder levels are created in turn, outermost first; a bare file name creates none.
TEST_F(Extraction, CreatesFoldersOutermostFirst) {
  test::RecordingFileSystem rec;
  platform::ScopedFileSystem scope(rec);
  EXPECT_TRUE(extract(
      FormBuilder().file({"top.txt", kAlpha}).file({"misc.set\\hlpfiles\\app01\\app01.chm", kBeta}).bytes()));
  std::vector<std::string> made;
  for (const std::string& c : rec.callsOf("createDirectory")) {
    if (c.find("(failed)") == std::string::npos) made.push_back(c);
  }
  EXPECT_EQ(made, (std::vector<std::string>{"createDirectory misc.set", "createDirectory misc.set\\hlpfiles",
                                            "createDirectory misc.set\\hlpfiles\\app01"}));
  EXPECT_EQ(fileAt("misc.set/hlpfiles/app01/app01.chm"), kBeta);
}

// Attributes 0x21 make the file read-only (and archive) after its time is set; the last-write time
// is the entry's time although the file was written just now.
TEST_F(Extraction, SetsTimeThenAttributes) {
  test::RecordingFileSystem rec;
  platform::ScopedFileSystem scope(rec);
  ASSERT_TRUE(extract(FormBuilder().file({"ro.dll", kAlpha, 0x21, 1000000000}).file({"plain.txt", kBeta, 0x80}).bytes()));
  const auto touched = rec.callsOf("setFile");
  EXPECT_EQ(touched, (std::vector<std::string>{"setFileTime ro.dll 1000000000", "setFileAttributes ro.dll 0x21",
                                               "setFileTime plain.txt 1600000000"}));
  struct stat st {};
  ASSERT_EQ(stat((work / "ro.dll").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, 1000000000);
  EXPECT_EQ(st.st_atime, 1000000000);
  EXPECT_EQ(st.st_mode & S_IWUSR, 0u);
  EXPECT_NE(platform::fileSystem().fileAttributes((work / "ro.dll").c_str()) & platform::kAttrReadOnly, 0u);
}

// The form head: FORM, any length, the type asked for, VERS, any length and the version. Each
// wrong id and each head cut short is refused; the version is only given for a whole head.
TEST(ReadFormHead, RefusesEveryWrongOrMissingField) {
  auto read = [](const Bytes& form, uint32_t type, uint32_t& version) {
    ReaderContext ctx{};
    EXPECT_TRUE(initReader(ctx));
    openMemoryInput(ctx, form.data());
    ctx.input.size = static_cast<uint32_t>(form.size());
    const bool ok = readFormHead(ctx, type, version);
    closeMemoryInput(ctx);
    destroyReader(ctx);
    return ok;
  };
  const Bytes form = FormBuilder(0x00060009).file({"a.txt", kAlpha}).bytes();
  uint32_t version = 0;
  EXPECT_TRUE(read(form, kKz6Type, version));
  EXPECT_EQ(version, 0x00060009u);
  EXPECT_FALSE(read(form, chunkId('K', 'Z', '7', ' '), version));
  for (size_t at : {0u, 3u, 8u, 11u, 12u, 15u}) {
    Bytes bad = form;
    bad[at] ^= 0x20;
    EXPECT_FALSE(read(bad, kKz6Type, version)) << at;
    EXPECT_EQ(version, 0xFFFFFFFFu) << at;
  }
  for (size_t cut : {0u, 3u, 11u, 15u, 19u, 23u}) {
    EXPECT_FALSE(read(Bytes(form.begin(), form.begin() + static_cast<long>(cut)), kKz6Type, version)) << cut;
  }
  Bytes lengths = form;
  lengths[5] ^= 0x7F;   // the form length
  lengths[17] ^= 0x7F;  // the VERS length
  EXPECT_TRUE(read(lengths, kKz6Type, version));
  EXPECT_EQ(version, 0x00060009u);
}

// A time stamp or attributes that cannot be set fail the extraction: the file just written is
// deleted, the entries before it stay, and nothing after it is written.
TEST_F(Extraction, UnsettableTimeOrAttributesFail) {
  const Bytes form = FormBuilder()
                         .file({"one.txt", kAlpha})
                         .file({"bin\\two.dll", kBeta, 0x21, 1000000000})
                         .file({"three.txt", kAlpha})
                         .bytes();
  for (const std::string refused : {"setFileTime bin\\two.dll", "setFileAttributes bin\\two.dll"}) {
    test::RecordingFileSystem rec;
    rec.failWhen = [&](const std::string& c) { return c.rfind(refused, 0) == 0; };
    {
      platform::ScopedFileSystem scope(rec);
      EXPECT_FALSE(extract(form)) << refused;
    }
    EXPECT_EQ(workTree(), (std::vector<std::string>{"bin/", "one.txt"})) << refused;
    EXPECT_EQ(rec.callsOf("openFile three.txt").size(), 0u) << refused;
    fs::remove_all(work);
    fs::create_directory(work);
  }
}

// A corrupt third entry fails the extraction: its partial file is gone, the first two stay.
TEST_F(Extraction, CorruptEntryLeavesEarlierEntries) {
  const Bytes big = test::textBytes(300000, 11);
  Bytes member = test::gzipMemberOf(big);
  member[member.size() / 2] ^= 0x55;
  const Bytes form = FormBuilder()
                         .file({"one.txt", kAlpha})
                         .file({"two.txt", kBeta})
                         .name(nameData("three.txt", 0x20, 1600000000, static_cast<uint32_t>(member.size())))
                         .body(member)
                         .file({"four.txt", kAlpha})
                         .bytes();
  EXPECT_FALSE(extract(form));
  EXPECT_EQ(workTree(), (std::vector<std::string>{"one.txt", "two.txt"}));
}

// The area's own size field decides how much of the form is read; size 0 means no package.
TEST_F(Extraction, PackageAreaSizeFieldBoundsTheForm) {
  const Bytes first = FormBuilder().file({"a.txt", kAlpha}).bytes();
  const Bytes both = FormBuilder().file({"a.txt", kAlpha}).file({"b.txt", kBeta}).bytes();
  const Bytes area = test::packageAreaOf(both, 0, static_cast<uint32_t>(first.size()));
  EXPECT_TRUE(extractPackage(area.data(), work.string().c_str()));
  EXPECT_EQ(workTree(), (std::vector<std::string>{"a.txt"}));
  EXPECT_FALSE(extractPackage(test::packageAreaOf(both, 0, 0).data(), work.string().c_str()));
}

// A size field beyond the capacity cannot take the reader past the area: entries that stand
// behind the capacity, where a damaged size field would point, are never reached.
TEST_F(Extraction, PackageSizeIsCappedAtTheCapacity) {
  Bytes form = FormBuilder().file({"a.txt", kAlpha}).bytes();
  ASSERT_TRUE(padForm(form, kInternalBufferSize));
  // The chunks of a second entry, without their own form head: FORM, length, type and VERS.
  const Bytes second = FormBuilder().file({"beyond.txt", kBeta}).bytes();
  const Bytes behind(second.begin() + 24, second.end());
  Bytes area = test::packageAreaOf(form, kInternalBufferSize,
                                   kInternalBufferSize + static_cast<uint32_t>(behind.size()));
  ASSERT_EQ(area.size(), kPackageAreaSize);
  area.insert(area.end(), behind.begin(), behind.end());
  EXPECT_TRUE(extractPackage(area.data(), work.string().c_str()));
  EXPECT_EQ(workTree(), (std::vector<std::string>{"a.txt"}));
}

// Closing an entry's file writes its last buffered bytes; when that fails (here every stream
// writes to a full device) the entry fails and its file is deleted; earlier entries stay.
TEST_F(Extraction, FailedCloseFailsTheEntry) {
  class FullDisk : public platform::ForwardingFileSystem {
   public:
    FullDisk() : ForwardingFileSystem(platform::nativeFileSystem()) {}
    std::FILE* openFile(const char* path, const char* mode) override {
      if (std::string(path) != "b.txt") return inner_.openFile(path, mode);
      // The file exists under its name, but its bytes go to a device that is always full, held
      // in a buffer large enough that only the close tries to write them.
      std::FILE* real = inner_.openFile(path, mode);
      if (real != nullptr) std::fclose(real);
      std::FILE* full = std::fopen("/dev/full", "wb+");
      if (full != nullptr && std::setvbuf(full, nullptr, _IOFBF, 1 << 16) == 0) ++handedOut;
      return full;
    }
    int handedOut = 0;
  } disk;
  platform::ScopedFileSystem scope(disk);
  EXPECT_FALSE(extract(FormBuilder().file({"a.txt", kAlpha}).file({"b.txt", kBeta}).file({"c.txt", kAlpha}).bytes()));
  EXPECT_EQ(disk.handedOut, 1);
  EXPECT_EQ(workTree(), (std::vector<std::string>{"a.txt"}));
}

// However the stream reports, the file must hold every byte decoded for it: here the entry's
// bytes go elsewhere and its file stays empty, so the entry fails and its file is deleted.
TEST_F(Extraction, EntryFileMustHoldEveryDecodedByte) {
  class LostWrites : public platform::ForwardingFileSystem {
   public:
    explicit LostWrites(std::string elsewhere) : ForwardingFileSystem(platform::nativeFileSystem()), elsewhere_(std::move(elsewhere)) {}
    std::FILE* openFile(const char* path, const char* mode) override {
      if (std::string(path) != "b.txt") return inner_.openFile(path, mode);
      std::FILE* real = inner_.openFile(path, mode);
      if (real != nullptr) std::fclose(real);
      return std::fopen(elsewhere_.c_str(), mode);
    }

   private:
    std::string elsewhere_;
  } disk((dir.path() / "elsewhere.bin").string());
  platform::ScopedFileSystem scope(disk);
  EXPECT_FALSE(extract(FormBuilder().file({"a.txt", kAlpha}).file({"b.txt", kBeta}).bytes()));
  EXPECT_EQ(readFileBytes(dir.path() / "elsewhere.bin"), kBeta) << "the stream itself worked";
  EXPECT_EQ(workTree(), (std::vector<std::string>{"a.txt"}));
}

// A work folder that cannot be entered fails at once and touches nothing.
TEST_F(Extraction, MissingWorkFolderFails) {
  const Bytes form = FormBuilder().file({"a.txt", kAlpha}).bytes();
  EXPECT_FALSE(extractForm(form.data(), static_cast<uint32_t>(form.size()), (dir.path() / "none").string().c_str()));
  EXPECT_FALSE(fs::exists(dir.path() / "none"));
}

// When the saved directory cannot be restored the result is false, though every entry was written.
TEST_F(Extraction, UnrestorableDirectoryFails) {
  test::RecordingFileSystem rec;
  rec.failWhen = [&](const std::string& c) { return c == "setCurrentDirectory " + startDirectory; };
  platform::ScopedFileSystem scope(rec);
  const Bytes form = FormBuilder().file({"a.txt", kAlpha}).bytes();
  EXPECT_FALSE(extract(form));
  fs::current_path(startDirectory);
  EXPECT_EQ(fileAt("a.txt"), kAlpha);
}

// A NAME not followed by a BODY fails, and a file left at that path by an earlier run is deleted.
TEST_F(Extraction, NameWithoutBodyDeletesThePath) {
  test::writeFileBytes(work / "a.txt", kBeta);
  EXPECT_FALSE(extract(FormBuilder().name(nameData("a.txt")).file({"b.txt", kBeta}).bytes()));
  EXPECT_TRUE(workTree().empty());
}

// A failed extraction says why, and names the entry when one is to blame. A BODY cut off before
// its length is damage too, whatever the entry before it left behind; a file that cannot be
// created is a writing failure, not damage.
TEST_F(Extraction, ReportsWhyItFailed) {
  Bytes member = test::gzipMemberOf(test::textBytes(50000, 3));
  member[member.size() / 2] ^= 0x55;
  Bytes notKz6 = FormBuilder().file({"a.txt", kAlpha}).bytes();
  notKz6[8] = 'X';
  const Bytes two = FormBuilder().file({"a.txt", kAlpha}).file({"b.txt", kBeta}).bytes();
  const std::string folder = work.string();
  const struct {
    const char* name;
    Bytes form;
    std::string folder;
    ExtractionError error;
    const char* entry;
    const char* failedCall;  // a file service call that fails, by its beginning
  } cases[] = {
      {"corrupt member",
       FormBuilder()
           .file({"one.txt", kAlpha})
           .name(nameData("sub\\two.txt", 0x20, 1600000000, static_cast<uint32_t>(member.size())))
           .body(member)
           .bytes(),
       folder, ExtractionError::EntryDamaged, "sub\\two.txt", nullptr},
      {"NAME without BODY", FormBuilder().name(nameData("a.txt")).file({"b.txt", kBeta}).bytes(), folder,
       ExtractionError::EntryDamaged, "a.txt", nullptr},
      {"BODY cut off before its length",
       FormBuilder().file({"a.txt", kAlpha}).name(nameData("b.txt")).raw(textOf("BODY")).bytes(), folder,
       ExtractionError::EntryDamaged, "b.txt", nullptr},
      {"stray chunk id", FormBuilder().file({"a.txt", kAlpha}).raw(textOf("ZZZZ")).bytes(), folder,
       ExtractionError::EntryDescription, "", nullptr},
      {"not KZ6", notKz6, folder, ExtractionError::NotAPackage, "", nullptr},
      {"no package", Bytes{}, folder, ExtractionError::NoPackage, "", nullptr},
      {"no work folder", two, (dir.path() / "none").string(), ExtractionError::WorkFolder, "", nullptr},
      {"file not created", two, folder, ExtractionError::EntryNotWritten, "b.txt", "openFile b.txt"},
      {"file where a folder stands", FormBuilder().file({"bin\\a.dll", kAlpha}).file({"bin", kBeta}).bytes(), folder,
       ExtractionError::EntryNotWritten, "bin", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::RecordingFileSystem rec;
    rec.failWhen = [&](const std::string& call) { return c.failedCall != nullptr && call.rfind(c.failedCall, 0) == 0; };
    ExtractionFailure failure;
    {
      platform::ScopedFileSystem scope(rec);
      EXPECT_FALSE(extractForm(c.form.data(), static_cast<uint32_t>(c.form.size()), c.folder.c_str(), &failure));
    }
    fs::current_path(startDirectory);
    EXPECT_EQ(failure.error, c.error);
    EXPECT_STREQ(failure.entry, c.entry);
  }
}

// A second extraction rewrites the files of the first.
TEST_F(Extraction, SecondRunOverwrites) {
  EXPECT_TRUE(extract(FormBuilder().file({"a.txt", kBeta}).bytes()));
  EXPECT_TRUE(extract(FormBuilder().file({"a.txt", kAlpha}).bytes()));
  EXPECT_EQ(fileAt("a.txt"), kAlpha);
}

// Paths that could leave the work folder are refused before anything is created for the entry.
TEST_F(Extraction, RefusesPathsOutsideTheWorkFolder) {
  const char* bad[] = {"\\abs.txt", "/abs.txt", "C:x.txt", "C:\\x.txt", "\\\\server\\share\\x.txt",
                       "..\\x.txt", "a\\..\\..\\x.txt", "a/../../x.txt", "a\\\\b.txt", "a\\", "a:stream",
                       "..", ".\\x.txt", ".. \\x.txt", "a\\x.txt.", "CON", "sub\\nul.txt", "com1.log",
                       "COM0", "lpt0.txt", "LPT9", "com9.a.b", "aux", "Prn.txt", "nul .txt", "CONIN$",
                       "conout$.log", "sub\\CoNiN$\\x.txt", "COM\xB9", "com\xB2.txt", "a\\Lpt\xB3\\b",
                       "LPT\xB9.x", "CONOUT$ .txt", "a\x01.txt"};
  for (const char* path : bad) {
    test::RecordingFileSystem rec;
    platform::ScopedFileSystem scope(rec);
    EXPECT_FALSE(extract(FormBuilder().file({path, kAlpha}).bytes())) << path;
    EXPECT_TRUE(rec.callsOf("createDirectory").empty()) << path;
    EXPECT_TRUE(rec.callsOf("openFile").empty()) << path;
    EXPECT_TRUE(rec.callsOf("deleteFile").empty()) << path;
  }
  EXPECT_TRUE(workTree().empty());
  EXPECT_EQ(treeOf(dir.path()), (std::vector<std::string>{"work/"}));
}

// A link planted at an entry's folder or file (a junction in the work folder) fails that entry
// before anything is created or written through it; nothing outside the work folder is written
// or deleted, and the entries before it stay.
TEST_F(Extraction, RefusesToWriteThroughALink) {
  const fs::path outside = dir.path() / "outside";
  const std::pair<const char*, const char*> cases[] = {
      {"bin", "bin\\b.txt"}, {"bin/b.txt", "bin\\b.txt"}, {"sub/deeper", "sub\\deeper\\b.txt"}};
  for (const auto& [linkAt, entry] : cases) {
    fs::remove_all(work);
    fs::remove_all(outside);
    fs::create_directories(work / "sub");
    fs::create_directory(outside);
    test::writeFileBytes(outside / "b.txt", kBeta);
    if (std::string(linkAt) == "bin/b.txt") {
      fs::create_directory(work / "bin");
      fs::create_symlink(outside / "b.txt", work / linkAt);
    } else {
      fs::create_directory_symlink(outside, work / linkAt);
    }
    Bytes form = FormBuilder().file({"a.txt", kAlpha}).file({"bin\\b.txt", kAlpha}).file({"sub\\deeper\\b.txt", kAlpha}).bytes();
    ExtractionFailure failure;
    EXPECT_FALSE(extractForm(form.data(), static_cast<uint32_t>(form.size()), work.string().c_str(), &failure)) << linkAt;
    EXPECT_EQ(failure.error, ExtractionError::EntryNotWritten) << linkAt;
    EXPECT_STREQ(failure.entry, entry) << linkAt;
    EXPECT_EQ(fileAt("a.txt"), kAlpha) << linkAt;
    EXPECT_EQ(treeOf(outside), std::vector<std::string>{"b.txt"}) << linkAt;
    EXPECT_EQ(readFileBytes(outside / "b.txt"), kBeta) << linkAt;
  }
}

// The path rule accepts the package's own kind of paths.
TEST(EntryPath, AcceptsOrdinaryRelativePaths) {
  for (const char* path : {"a", "bin\\kz.dll", "misc.set\\hlpfiles\\app01\\app01.chm", "bin/x.exe", "a..b",
                           ".hidden", "console.txt", "com.txt", "COM10", "x y", "COMA.txt", "lpt", "CO",
                           "nul0", "LPTX", "CONIN", "conin$x", "CONOUT$$", "COM\xBC", "lpt\xB9\xB9", "x\\con$"}) {
    EXPECT_TRUE(isSafeEntryPath(path)) << path;
  }
  EXPECT_FALSE(isSafeEntryPath(""));
}

// A form filled up to a capacity holds the same entries for a reader, whatever is left to fill:
// nothing, two stray bytes, four or six bytes taken by the last NAME, or a chunk readers skip.
TEST_F(Extraction, PaddedFormsHoldTheSameEntries) {
  const std::vector<FormWriterEntry> entries = {test::writerEntryOf({"a.txt", kAlpha, 0x20, 1600000000, "first"}),
                                                test::writerEntryOf({"bin\\b.txt", kBeta, 0x20, 1600000000, "n"})};
  const Bytes plain = writeForm(kFormVersion611, entries);
  ASSERT_EQ(plain.size() % 2, 0u);
  for (uint32_t left : {0u, 2u, 4u, 6u, 8u, 10u, 1000u}) {
    Bytes form = plain;
    const auto capacity = static_cast<uint32_t>(plain.size() + left);
    ASSERT_TRUE(padForm(form, capacity)) << left;
    ASSERT_EQ(form.size(), capacity) << left;
    EXPECT_EQ(loadBigEndian32(form.data() + 4), capacity - 8) << left;
    fs::remove_all(work);
    fs::create_directory(work);
    EXPECT_TRUE(extract(form)) << left;
    EXPECT_EQ(workTree(), (std::vector<std::string>{"a.txt", "bin/", "bin/b.txt"})) << left;
    EXPECT_EQ(fileAt("bin/b.txt"), kBeta) << left;
  }
  // Four or six bytes grow the last NAME by zero bytes after its data; all else stays as it was.
  const std::string nameId = "NAME";
  const auto lastName = static_cast<size_t>(
      std::find_end(plain.begin(), plain.end(), nameId.begin(), nameId.end()) - plain.begin());
  ASSERT_LT(lastName, plain.size());
  const uint32_t nameLength = loadBigEndian32(plain.data() + lastName + 4);
  for (uint32_t left : {4u, 6u}) {
    Bytes form = plain;
    ASSERT_TRUE(padForm(form, static_cast<uint32_t>(plain.size() + left)));
    Bytes expected = plain;
    expected.insert(expected.begin() + static_cast<long>(lastName + 8 + nameLength), left, 0);
    auto put32 = [&](size_t at, uint32_t v) {
      for (int i = 0; i < 4; ++i) expected[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (24 - 8 * i));
    };
    put32(lastName + 4, nameLength + left);
    put32(4, static_cast<uint32_t>(expected.size() - 8));
    EXPECT_EQ(form, expected) << left;
  }
  // Odd capacities, capacities below the form and a form without a NAME to grow are refused.
  Bytes odd = plain;
  EXPECT_FALSE(padForm(odd, static_cast<uint32_t>(plain.size() + 3)));
  EXPECT_EQ(odd, plain);
  EXPECT_FALSE(padForm(odd, static_cast<uint32_t>(plain.size() - 2)));
  EXPECT_EQ(odd, plain);
  Bytes bare = writeForm(kFormVersion611, {});
  const Bytes bareCopy = bare;
  EXPECT_FALSE(padForm(bare, static_cast<uint32_t>(bare.size() + 4)));
  EXPECT_EQ(bare, bareCopy);
  EXPECT_TRUE(padForm(bare, static_cast<uint32_t>(bare.size() + 8)));
}

// The NAME chunk's fields read by themselves.
class EntryName : public Extraction {};

// A path of 299 characters and a note of 79 fit; one more character in either is refused.
TEST_F(EntryName, EnforcesTheFieldLimits) {
  const std::string name = std::string(150, 'p') + "\\" + std::string(148, 'q');
  ReaderContext ctx{};
  PackageEntry entry{};
  auto parse = [&](const Bytes& data) {
    Bytes chunk;
    appendBigEndian32(chunk, static_cast<uint32_t>(data.size()));
    chunk.insert(chunk.end(), data.begin(), data.end());
    openMemoryInput(ctx, chunk.data());
    ctx.input.size = static_cast<uint32_t>(chunk.size());
    const bool ok = readEntryName(ctx, entry);
    closeMemoryInput(ctx);
    return ok;
  };
  ASSERT_EQ(name.size(), 299u);
  EXPECT_TRUE(parse(nameData(name, 0x00010021, 7, 8, 9, std::string(79, 'n'))));
  EXPECT_EQ(std::string(entry.path), name);
  EXPECT_EQ(std::string(entry.note), std::string(79, 'n'));
  EXPECT_EQ(entry.attributeHigh, 1);
  EXPECT_EQ(entry.attributes, 0x21);
  EXPECT_EQ(entry.time, 7u);
  EXPECT_EQ(entry.storedSize, 8u);
  EXPECT_EQ(entry.uncompressedSize, 9u);

  const PackageEntry before = entry;
  EXPECT_FALSE(parse(nameData(name + "r", 0x20, 1, 1, 1)));
  EXPECT_FALSE(parse(nameData("x", 0x20, 1, 1, 1, std::string(80, 'n'))));
  EXPECT_EQ(std::string(entry.path), std::string(before.path));  // a refused NAME leaves the entry alone
  EXPECT_EQ(entry.time, 7u);
}

}  // namespace
}  // namespace kz
