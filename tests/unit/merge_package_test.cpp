// The merge command: its command-line matching, the merged copy's layout, and the message shown.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/merge_front.h"
#include "app/string_table.h"
#include "package/merge_package.h"
#include "package/package_area.h"
#include "platform/message_box.h"
#include "support/form_fixtures.h"
#include "support/header_fixtures.h"
#include "support/faulty_stream.h"
#include "support/recording_files.h"
#include "support/temp_dir.h"

namespace kz {
namespace {

using test::Bytes;
using test::readFileBytes;
using test::treeOf;
using test::writeFileBytes;
namespace fs = std::filesystem;

std::string parsed(const char* commandLine) {
  char out[260] = "stale";
  return parseMergeCommand(commandLine, out) ? std::string(out) : "<none:" + std::string(out) + ">";
}

// The keyword in any letter case, at the start or after a space, runs the merge with the quoted path.
TEST(ParseMergeCommand, AcceptsTheKeywordWithAQuotedPath) {
  EXPECT_EQ(parsed("MERGE_KZ6_FILE:\"C:\\pkg\\p.kz6\""), "C:\\pkg\\p.kz6");
  EXPECT_EQ(parsed("merge_kz6_file:\"p.kz6\""), "p.kz6");
  EXPECT_EQ(parsed("  /x other MeRgE_Kz6_FiLe:\"a b.kz6\" trailing"), "a b.kz6");
  EXPECT_EQ(parsed("\"quoted arg\" MERGE_KZ6_FILE:\"p\""), "p");
}

// Malformed commands are no merge command at all, and the path is left empty.
TEST(ParseMergeCommand, RefusesMalformedCommands) {
  EXPECT_EQ(parsed(""), "<none:>");
  EXPECT_EQ(parsed("   "), "<none:>");
  EXPECT_EQ(parsed("MERGE_KZ6_FILE:p.kz6"), "<none:>");            // no quotes
  EXPECT_EQ(parsed("MERGE_KZ6_FILE:\"\""), "<none:>");             // empty path
  EXPECT_EQ(parsed("MERGE_KZ6_FILE:\"p.kz6"), "<none:>");          // no closing quote
  EXPECT_EQ(parsed("MERGE_KZ6_FILE: \"p.kz6\""), "<none:>");       // space before the quote
  EXPECT_EQ(parsed("xMERGE_KZ6_FILE:\"p.kz6\""), "<none:>");       // not after a space
  EXPECT_EQ(parsed("\tMERGE_KZ6_FILE:\"p.kz6\""), "<none:>");      // a tab is no space
  EXPECT_EQ(parsed("MERGE_KZ6_FILE"), "<none:>");
  EXPECT_EQ(parsed(("MERGE_KZ6_FILE:\"" + std::string(260, 'p') + "\"").c_str()), "<none:>");
  EXPECT_EQ(parsed(("MERGE_KZ6_FILE:\"" + std::string(259, 'p') + "\"").c_str()), std::string(259, 'p'));
}

// A keyword that fails ends the search: a later well-formed one is not looked for.
TEST(ParseMergeCommand, FirstKeywordDecides) {
  EXPECT_EQ(parsed("MERGE_KZ6_FILE:p MERGE_KZ6_FILE:\"q\""), "<none:>");
  // The search restarts at every space, also inside quotes before the keyword.
  EXPECT_EQ(parsed("\"x MERGE_KZ6_FILE:\"q\"\""), "q");
}

constexpr uint32_t kSmallCapacity = 4096;

// A stand-in updater: code before the area, the area with an empty package, data after it.
Bytes fakeUpdater(uint32_t capacity) {
  Bytes file = test::randomBytes(3000, 1);
  for (auto& b : file) {
    if (b == '[') b = 0;
  }
  const uint32_t headerAt = static_cast<uint32_t>(file.size());
  test::placeHeader(file, headerAt, test::sampleHeader());
  file.resize(headerAt + kPackageFormOffset + capacity, 0);
  const Bytes tail = test::textBytes(777, 2);
  file.insert(file.end(), tail.begin(), tail.end());
  return file;
}

class Merge : public ::testing::Test {
 protected:
  void SetUp() override {
    updater = fakeUpdater(kSmallCapacity);
    writeFileBytes(modulePath(), updater);
    form = test::FormBuilder().file({"a.txt", test::textOf("merged entry")}).bytes();
    ASSERT_TRUE(padForm(form, kSmallCapacity));
    writeFileBytes(sourcePath(), form);
  }
  std::string modulePath() const { return dir.file("updater.exe"); }
  std::string sourcePath() const { return dir.file("package.kz6"); }
  std::string targetPath() const { return dir.file("kaem_update611.exe"); }
  MergeFailure merge(const std::string& target) {
    return mergePackage(modulePath().c_str(), sourcePath().c_str(), target.c_str(), kSmallCapacity);
  }
  // What a merge makes of an updater file: the package size (4096) and the form in its area.
  Bytes merged(Bytes file) const {
    const uint8_t size[4] = {0x00, 0x10, 0x00, 0x00};  // 4096, little-endian
    std::copy(size, size + 4, file.begin() + 3000 + kPackageSizeOffset);
    std::copy(form.begin(), form.end(), file.begin() + 3000 + kPackageFormOffset);
    return file;
  }
  // The folder with its two inputs only, or with the target beside them.
  const std::vector<std::string> inputsOnly = {"package.kz6", "updater.exe"};
  const std::vector<std::string> inputsAndTarget = {"kaem_update611.exe", "package.kz6", "updater.exe"};

  test::TempDir dir;
  Bytes updater;
  Bytes form;
};

// The target differs from the updater only in the form part, and the header stays at its offset.
TEST_F(Merge, CopyDiffersOnlyInTheFormPart) {
  ASSERT_EQ(merge(targetPath()), MergeFailure::None);
  const Bytes target = readFileBytes(targetPath());
  ASSERT_EQ(target.size(), updater.size());
  uint32_t headerAt = 0;
  ASSERT_EQ(findPackageHeader(targetPath().c_str(), headerAt), PackageHeaderStatus::Ok);
  EXPECT_EQ(headerAt, 3000u);
  EXPECT_EQ(target, merged(updater));
  EXPECT_EQ(treeOf(dir.path()), inputsAndTarget);
}

// An updater whose package area ends the file merges too: nothing follows the form.
TEST_F(Merge, UpdaterEndingWithItsArea) {
  updater.resize(3000 + kPackageFormOffset + kSmallCapacity);
  writeFileBytes(modulePath(), updater);
  ASSERT_EQ(merge(targetPath()), MergeFailure::None);
  EXPECT_EQ(readFileBytes(targetPath()), merged(updater));
}

// An updater without exactly one header merges nothing and creates nothing.
TEST_F(Merge, NeedsExactlyOneHeader) {
  Bytes twice = updater;
  test::placeHeader(twice, 10, test::sampleHeader());
  writeFileBytes(modulePath(), twice);
  EXPECT_EQ(merge(targetPath()), MergeFailure::HeaderNotFound);
  writeFileBytes(modulePath(), Bytes(5000, 1));
  EXPECT_EQ(merge(targetPath()), MergeFailure::HeaderNotFound);
  EXPECT_FALSE(fs::exists(targetPath()));
}

// A failed merge leaves an existing target as it was, and no temporary file behind.
TEST_F(Merge, FailureKeepsTheExistingTarget) {
  writeFileBytes(targetPath(), {1, 2, 3});
  updater.resize(3000 + kPackageFormOffset + kSmallCapacity - 1);  // ends inside the area
  writeFileBytes(modulePath(), updater);
  EXPECT_EQ(merge(targetPath()), MergeFailure::UpdaterTooShort);
  EXPECT_EQ(readFileBytes(targetPath()), (Bytes{1, 2, 3}));
  writeFileBytes(sourcePath(), Bytes(100, 0));  // the source too short
  writeFileBytes(modulePath(), fakeUpdater(kSmallCapacity));
  EXPECT_EQ(merge(targetPath()), MergeFailure::ReadFailed);
  EXPECT_EQ(readFileBytes(targetPath()), (Bytes{1, 2, 3}));
  EXPECT_EQ(treeOf(dir.path()), inputsAndTarget);
}

// A target that is the updater or the source, however spelt, is refused and nothing is touched.
TEST_F(Merge, RefusesToOverwriteItsInputs) {
  test::RecordingFileSystem rec;
  platform::ScopedFileSystem scope(rec);
  EXPECT_EQ(merge(modulePath()), MergeFailure::TargetIsInput);
  EXPECT_EQ(merge(dir.file("./package.kz6")), MergeFailure::TargetIsInput);
  for (const std::string& c : rec.callsOf("openFile")) EXPECT_EQ(c.substr(c.size() - 3), " rb") << c;
  EXPECT_TRUE(rec.callsOf("tempFileName").empty());
  EXPECT_EQ(readFileBytes(modulePath()), updater);
  EXPECT_EQ(readFileBytes(sourcePath()), form);
}

// An empty target path is refused before anything is opened for writing or created, also the
// temporary copy that would otherwise go into the current directory.
TEST_F(Merge, EmptyTargetIsRefusedBeforeWriting) {
  test::RecordingFileSystem rec;
  platform::ScopedFileSystem scope(rec);
  const fs::path started = fs::current_path();
  fs::current_path(dir.path());
  const MergeFailure failure = merge("");
  fs::current_path(started);
  EXPECT_EQ(failure, MergeFailure::OpenFailed);
  EXPECT_TRUE(rec.callsOf("tempFileName").empty());
  for (const std::string& c : rec.callsOf("openFile")) EXPECT_EQ(c.substr(c.size() - 3), " rb") << c;
  EXPECT_EQ(treeOf(dir.path()), inputsOnly);
}

// A target in a folder that does not exist cannot be created: failure, nothing left anywhere.
TEST_F(Merge, UncreatableTargetFails) {
  EXPECT_EQ(merge(dir.file("missing/kaem_update611.exe")), MergeFailure::OpenFailed);
  EXPECT_EQ(treeOf(dir.path()), inputsOnly);
}

// A folder where the target would go fails the merge and is left as it was, with nothing beside it.
TEST_F(Merge, FolderInTheTargetsPlaceFails) {
  fs::create_directories(targetPath());
  writeFileBytes(targetPath() + "/inside", {7});
  EXPECT_EQ(merge(targetPath()), MergeFailure::ReplaceFailed);
  EXPECT_EQ(treeOf(dir.path()),
            (std::vector<std::string>{"kaem_update611.exe/", "kaem_update611.exe/inside", "package.kz6", "updater.exe"}));
}

// The copy is made in the target's own folder, so that the last move stays on one volume: the
// folder part of the path, a root kept whole, and the current folder for a bare name. A target that
// does not fit a path buffer fails before anything is made.
TEST_F(Merge, CopyIsMadeInTheTargetsFolder) {
  const std::pair<std::string, std::string> cases[] = {
      {"out\\sub\\t.exe", "out\\sub"}, {"out/t.exe", "out"},  {"t.exe", "."},
      {"\\t.exe", "\\"},                {"/t.exe", "/"},        {"C:\\t.exe", "C:\\"},
      {"C:/t.exe", "C:/"},                {"C:t.exe", "C:"},      {"C:\\out\\t.exe", "C:\\out"},
  };
  for (const auto& [target, folder] : cases) {
    test::RecordingFileSystem rec;
    rec.failWhen = [](const std::string& c) { return c.rfind("tempFileName ", 0) == 0; };
    platform::ScopedFileSystem scope(rec);
    EXPECT_EQ(merge(target), MergeFailure::OpenFailed) << target;
    EXPECT_EQ(rec.callsOf("tempFileName"), (std::vector<std::string>{"tempFileName " + folder + " ~KZ"})) << target;
  }
  test::RecordingFileSystem rec;
  platform::ScopedFileSystem scope(rec);
  EXPECT_EQ(merge(std::string(259, 'd') + "\\t.exe"), MergeFailure::OpenFailed);
  EXPECT_EQ(merge(std::string(260, 'd') + "\\t.exe"), MergeFailure::OpenFailed);
  EXPECT_TRUE(rec.callsOf("tempFileName").empty())
      << "a target that does not fit a path buffer is refused before anything is made";
  EXPECT_EQ(treeOf(dir.path()), inputsOnly);
}

// A copy that cannot be moved onto the target is removed.
TEST_F(Merge, FailedMoveRemovesTheCopy) {
  test::RecordingFileSystem rec;
  rec.failWhen = [](const std::string& c) { return c.find("moveFile") == 0; };
  platform::ScopedFileSystem scope(rec);
  EXPECT_EQ(merge(targetPath()), MergeFailure::ReplaceFailed);
  EXPECT_EQ(treeOf(dir.path()), inputsOnly);
}

// A write that fails in the middle of the copy fails the merge, even when the writes after it
// succeed again: an existing target keeps its bytes and the partial copy is removed. The copy
// writes the updater's head (3,072 bytes), the package size (4), the form (4,096), then the tail.
TEST_F(Merge, FailedWriteRemovesThePartialCopy) {
  for (uint64_t at : {0u, 3000u, 3073u, 5000u, 7300u, 7948u}) {
    writeFileBytes(targetPath(), {1, 2, 3});
    test::StreamFault fault;
    fault.failWriteAt = at;
    fault.unbuffered = true;
    test::FaultyWriteFileSystem faulty(fault);
    platform::ScopedFileSystem scope(faulty);
    EXPECT_EQ(merge(targetPath()), MergeFailure::WriteFailed) << "write failing at byte " << at;
    EXPECT_EQ(faulty.opened, 1);
    EXPECT_EQ(readFileBytes(targetPath()), (Bytes{1, 2, 3})) << at;
    EXPECT_EQ(treeOf(dir.path()), inputsAndTarget) << at;
  }
}

// A close that fails (the last buffered bytes could not be written) fails the merge as well.
TEST_F(Merge, FailedCloseRemovesTheCopy) {
  for (bool unbuffered : {false, true}) {
    test::StreamFault fault;
    fault.failClose = true;
    fault.unbuffered = unbuffered;
    test::FaultyWriteFileSystem faulty(fault);
    platform::ScopedFileSystem scope(faulty);
    EXPECT_EQ(merge(targetPath()), MergeFailure::WriteFailed) << unbuffered;
    EXPECT_EQ(treeOf(dir.path()), inputsOnly) << unbuffered;
  }
  // A buffered write failure that shows only when the close flushes it counts the same.
  test::StreamFault fault;
  fault.failWriteAt = 100;
  test::FaultyWriteFileSystem faulty(fault);
  platform::ScopedFileSystem scope(faulty);
  EXPECT_EQ(merge(targetPath()), MergeFailure::WriteFailed);
  EXPECT_EQ(treeOf(dir.path()), inputsOnly);
}

// An updater whose length cannot be found (the stream the copy reads it through cannot seek, or
// can seek to its end but not back) fails the merge as a failed read, and nothing is left behind.
TEST_F(Merge, UnseekableUpdaterFails) {
  struct Unseekable : platform::ForwardingFileSystem {
    Unseekable(std::string p, bool e) : ForwardingFileSystem(platform::nativeFileSystem()), path(std::move(p)), toEnd(e) {}
    std::FILE* openFile(const char* p, const char* m) override {
      std::FILE* f = inner_.openFile(p, m);
      if (path != p) return f;
      // The header search opens the updater first; the copy's own stream comes after it.
      return ++opens > 1 ? test::unseekableStream(f, toEnd) : f;
    }
    std::string path;
    bool toEnd;
    int opens = 0;
  };
  for (bool toEnd : {false, true}) {
    Unseekable unseekable(modulePath(), toEnd);
    platform::ScopedFileSystem scope(unseekable);
    EXPECT_EQ(merge(targetPath()), MergeFailure::ReadFailed) << toEnd;
    EXPECT_EQ(unseekable.opens, 2) << toEnd;
    EXPECT_EQ(treeOf(dir.path()), inputsOnly) << toEnd;
  }
}

// The source must exist, be a file, and be exactly the capacity long.
TEST(MergeSource, MustBeExactlyTheCapacity) {
  test::TempDir dir;
  writeFileBytes(dir.file("p"), Bytes(100, 0));
  EXPECT_TRUE(mergeSourceFits(dir.file("p").c_str(), 100));
  EXPECT_FALSE(mergeSourceFits(dir.file("p").c_str(), 99));
  EXPECT_FALSE(mergeSourceFits(dir.file("p").c_str(), 101));
  EXPECT_FALSE(mergeSourceFits(dir.file("none").c_str(), 100));
  EXPECT_FALSE(mergeSourceFits(dir.path().string().c_str(), 0));
}

// Records every message box instead of showing it.
class RecordingBoxes : public platform::MessageBoxService {
 public:
  struct Box {
    std::string text;
    std::string caption;
    uint32_t type;
  };
  std::vector<Box> boxes;
  int32_t show(const char* text, const char* caption, uint32_t type) override {
    boxes.push_back({text, caption, type});
    return platform::kIdOk;
  }
};

class MergeFront : public ::testing::Test {
 protected:
  void SetUp() override {
    writeFileBytes(dir.file("updater.exe"), fakeUpdater(kInternalBufferSize));
    copyPathField(app.modulePath, dir.file("updater.exe").c_str());
    copyPathField(app.mergeTargetPath, dir.file("kaem_update611.exe").c_str());
  }
  std::string command(const std::string& source) { return "MERGE_KZ6_FILE:\"" + source + "\""; }
  void writeSource(size_t size) {
    Bytes form = test::FormBuilder().file({"a.txt", test::textOf("x")}).bytes();
    form.resize(size, 0);
    writeFileBytes(dir.file("p.kz6"), form);
  }

  test::TempDir dir;
  UpdateApp app;
  RecordingBoxes boxes;
  platform::ScopedMessageBoxService scope{boxes};
};

// Without a merge command there is no message and start-up goes on.
TEST_F(MergeFront, NoCommandNoMessage) {
  EXPECT_FALSE(runMergeFront(app, "/silent MERGE_KZ6_FILE:p.kz6"));
  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_STREQ(app.mergeSourcePath, "");
}

// A successful merge names the target in message 1501 with the information icon.
TEST_F(MergeFront, SuccessShowsTheTarget) {
  writeSource(kInternalBufferSize);
  ASSERT_TRUE(runMergeFront(app, command(dir.file("p.kz6")).c_str()));
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].caption, "Update Application Message");
  EXPECT_EQ(boxes.boxes[0].text, "! ! !   MERGE COMMAND SUCCESSFUL   ! ! !\r\n\r\nMerged target file:\r\n\r\n" +
                                     dir.file("kaem_update611.exe"));
  EXPECT_EQ(boxes.boxes[0].type, 0x40u);
  EXPECT_STREQ(app.mergeSourcePath, dir.file("p.kz6").c_str());
  EXPECT_TRUE(fs::exists(dir.file("kaem_update611.exe")));
}

// A source one byte short or long, or missing, stops with message 1019 and writes nothing.
TEST_F(MergeFront, WrongSourceSizeStops) {
  for (size_t size : {kInternalBufferSize - 1, kInternalBufferSize + 1}) {
    writeSource(size);
    boxes.boxes.clear();
    ASSERT_TRUE(runMergeFront(app, command(dir.file("p.kz6")).c_str()));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, strings::lookup(1019));
    EXPECT_EQ(boxes.boxes[0].type, 0x10u);
  }
  EXPECT_TRUE(runMergeFront(app, command(dir.file("none.kz6")).c_str()));
  EXPECT_EQ(boxes.boxes.back().text, strings::lookup(1019));
  EXPECT_FALSE(fs::exists(dir.file("kaem_update611.exe")));
}

// A failed merge shows message 1020 with the error icon; a target that is the source is one.
TEST_F(MergeFront, FailureShowsMessage1020) {
  writeSource(kInternalBufferSize);
  copyPathField(app.mergeTargetPath, dir.file("p.kz6").c_str());
  ASSERT_TRUE(runMergeFront(app, command(dir.file("p.kz6")).c_str()));
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, "! ! !   MERGE COMMAND FAILED   ! ! !\n\nError during Reading / Writing.");
  EXPECT_EQ(boxes.boxes[0].type, 0x10u);
  EXPECT_EQ(fs::file_size(dir.file("p.kz6")), kInternalBufferSize);
}

}  // namespace
}  // namespace kz
