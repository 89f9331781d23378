// The copy step: marked rows replaced with their headers written back, older help files removed,
// and on any failure the main folder restored exactly (contents, attributes, times).
#include "install/copy_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "install/compatibility.h"
#include "platform/files.h"
#include "platform/shell_move.h"
#include "support/folder_snapshot.h"
#include "support/install_scenario.h"

namespace {

using kz::test::InstallScenario;
using kz::test::readFileBytes;

// Runs the steps before the copy: table, both sides gathered, the update staged, compatibility.
kz::TrackedFileTable prepare(InstallScenario& s) {
  kz::TrackedFileTable table{};
  kz::BuildTrackedFileTable(table, s.mainFolderText().c_str(), s.workFolderText().c_str());
  kz::GatherInstalledInfo(table);
  EXPECT_TRUE(s.extraction()());
  kz::GatherNewInfo(table);
  EXPECT_TRUE(kz::TestCompatibility(table, kz::ProductCodes{1, 1, 1}));
  return table;
}

bool copy(InstallScenario& s, kz::TrackedFileTable& table) {
  return kz::CopyNewFiles(table, s.mainFolderText().c_str(), s.workFolderText().c_str(), nullptr);
}

kz::PackageHeader headerAt(const std::filesystem::path& path, uint32_t offset) {
  kz::PackageHeader h;
  EXPECT_EQ(kz::readPackageHeader(path.c_str(), offset, h), 0);
  return h;
}

// Each tracked file now holds the update's bytes, but for the header fields carried over.
void expectUpdated(InstallScenario& s) {
  for (int row = 0; row < kz::kTrackedFileCount; ++row) {
    const auto path = kz::test::productPath(s.mainFolder(), kz::kTrackedRows[row].relativePath);
    uint32_t offset = 0;
    std::vector<uint8_t> expected = kz::test::productFileBytes(row, s.update().files[row], &offset);
    std::vector<uint8_t> actual = readFileBytes(path);
    if (kz::kTrackedRows[row].kind == kz::TrackedKind::Application) {
      const kz::PackageHeader h = headerAt(path, offset);
      EXPECT_EQ(h.installValue1, 5u) << row;
      EXPECT_EQ(h.installValue2, 0x1234u) << row;
      EXPECT_EQ(h.installValue3, static_cast<uint32_t>(77 + row - 2)) << row;
      EXPECT_EQ(h.transientValue, 0u) << row;
      EXPECT_EQ(h.productVersion, 6.11) << row;
      // Apart from the 72 header bytes the file is the new one.
      std::fill(expected.begin() + offset, expected.begin() + offset + 72, 0);
      std::fill(actual.begin() + offset, actual.begin() + offset + 72, 0);
    }
    EXPECT_EQ(actual, expected) << row;
  }
}

// A full copy replaces all 23 files, carries the install values, writes transientValue 0, takes
// the .hlp and .gid companions away and leaves the replaced files in the work folder's set-aside.
TEST(CopyNewFiles, ReplacesEveryMarkedRow) {
  InstallScenario s;
  kz::TrackedFileTable table = prepare(s);
  const std::vector<uint8_t> oldLibrary = readFileBytes(s.mainFolder() / "bin/lib01.dll");
  ASSERT_TRUE(copy(s, table));
  expectUpdated(s);
  EXPECT_FALSE(std::filesystem::exists(s.mainFolder() / "misc.set/hlpfiles/app01/app01_help.hlp"));
  EXPECT_FALSE(std::filesystem::exists(s.mainFolder() / "misc.set/hlpfiles/tool04/tool04_help.gid"));
  EXPECT_FALSE(std::filesystem::exists(s.workFolder() / "bin/lib01.dll"));
  EXPECT_EQ(readFileBytes(s.workFolder() / kz::kSetAsideFolder / "bin/lib01.dll"), oldLibrary);
}

// A table with no row marked succeeds and touches nothing.
TEST(CopyNewFiles, NothingMarkedChangesNothing) {
  InstallScenario s;
  kz::TrackedFileTable table = prepare(s);
  for (auto& row : table) row.copy = false;
  const auto before = kz::test::snapshotFolder(s.mainFolder());
  EXPECT_TRUE(copy(s, table));
  EXPECT_EQ(kz::test::describeDifferences(before, kz::test::snapshotFolder(s.mainFolder())), "");
}

// An application added by the update whose new file has no header is moved in unchanged: the
// start of the file is never overwritten with an empty record.
TEST(CopyNewFiles, NewFileWithoutHeaderIsNotWrittenTo) {
  kz::test::ProductLayout installed = kz::test::installedProduct();
  installed.files[5].present = false;
  kz::test::ProductLayout update = kz::test::updateFiles();
  update.files[5].header.reset();
  InstallScenario s(installed, update);
  kz::TrackedFileTable table = prepare(s);
  ASSERT_TRUE(table[5].copy);
  ASSERT_FALSE(table[5].newHeaderFound);
  const std::vector<uint8_t> newBytes = readFileBytes(s.workFolder() / "bin/app03.exe");
  ASSERT_TRUE(copy(s, table));
  EXPECT_EQ(readFileBytes(s.mainFolder() / "bin/app03.exe"), newBytes);
}

// A missing help folder is created, and a read-only installed file is replaced.
TEST(CopyNewFiles, CreatesMissingFoldersAndReplacesReadOnlyFiles) {
  InstallScenario s;
  std::filesystem::remove_all(s.mainFolder() / "misc.set/hlpfiles/app01");
  ASSERT_TRUE(kz::platform::nativeFileSystem().setFileAttributes((s.mainFolder() / "bin/lib02.dll").c_str(),
                                                                 kz::platform::kAttrReadOnly));
  kz::TrackedFileTable table = prepare(s);
  ASSERT_TRUE(copy(s, table));
  expectUpdated(s);
  EXPECT_EQ(kz::platform::nativeFileSystem().fileAttributes((s.mainFolder() / "bin/lib02.dll").c_str()) &
                kz::platform::kAttrReadOnly,
            0u);
}

// A copy that fails after it made a missing help folder takes that folder away again: the main
// folder ends as it was, folders included.
TEST(CopyNewFiles, RollbackRemovesTheFoldersItMade) {
  InstallScenario s;
  std::filesystem::remove_all(s.mainFolder() / "misc.set/hlpfiles/app01");
  kz::TrackedFileTable table = prepare(s);
  const kz::test::FolderSnapshot before = kz::test::snapshotFolder(s.mainFolder());

  // The last row's move into the main folder fails, after every other row has been replaced;
  // moves after it (the rollback's) go through.
  struct FailLastMove final : kz::platform::ShellMover {
    std::string mainFolder;
    bool failed = false;
    bool moveFile(const char* from, const char* to, void* owner) override {
      const std::string destination = to;
      if (!failed && destination.rfind(mainFolder, 0) == 0 &&
          destination.find("tool04_help.chm") != std::string::npos) {
        failed = true;
        return false;
      }
      return kz::platform::nativeShellMover().moveFile(from, to, owner);
    }
  } mover;
  mover.mainFolder = s.mainFolderText();
  kz::platform::ScopedShellMover scope(mover);

  EXPECT_FALSE(copy(s, table));
  EXPECT_TRUE(mover.failed);
  EXPECT_FALSE(std::filesystem::exists(s.mainFolder() / "misc.set/hlpfiles/app01"));
  EXPECT_EQ(kz::test::describeDifferences(before, kz::test::snapshotFolder(s.mainFolder())), "");
}

// Makes one chosen call of the copy step's file operations fail, and counts them all.
class FaultInjector final : public kz::platform::ForwardingFileSystem, public kz::platform::ShellMover {
 public:
  explicit FaultInjector(int failAt)
      : ForwardingFileSystem(kz::platform::nativeFileSystem()), failAt_(failAt), fs_(*this), mover_(*this) {}

  uint32_t fileAttributes(const char* p) override {
    return fail("attributes", p) ? kz::platform::kInvalidAttributes : inner_.fileAttributes(p);
  }
  bool setFileAttributes(const char* p, uint32_t a) override {
    return !fail("set attributes", p) && inner_.setFileAttributes(p, a);
  }
  bool deleteFile(const char* p) override { return !fail("delete", p) && inner_.deleteFile(p); }
  bool createDirectory(const char* p) override { return !fail("create folder", p) && inner_.createDirectory(p); }
  std::FILE* openFile(const char* p, const char* m) override {
    return fail(std::string("open ") + m, p) ? nullptr : inner_.openFile(p, m);
  }
  bool moveFile(const char* from, const char* to, void* owner) override {
    return !fail("move", from) && kz::platform::nativeShellMover().moveFile(from, to, owner);
  }

  int calls() const { return calls_; }
  const std::string& failed() const { return failed_; }

 private:
  bool fail(const std::string& what, const char* path) {
    if (calls_++ != failAt_) return false;
    failed_ = what + " " + path;
    return true;
  }
  int failAt_;
  int calls_ = 0;
  std::string failed_;
  kz::platform::ScopedFileSystem fs_;
  kz::platform::ScopedShellMover mover_;
};

// Every file operation of the copy step is made to fail in turn. Each run either fails with the
// main folder exactly as before (contents, attributes, permissions, write times), or, where the
// operation's failure is harmless, completes the update.
TEST(CopyNewFiles, NoInjectedFailureLosesOrChangesAnInstalledFile) {
  int operations = 0;
  {
    InstallScenario s;
    kz::TrackedFileTable table = prepare(s);
    FaultInjector counter(-1);
    ASSERT_TRUE(copy(s, table));
    operations = counter.calls();
  }
  ASSERT_GT(operations, 23 * 2);
  int failedRuns = 0;
  for (int failAt = 0; failAt < operations; ++failAt) {
    InstallScenario s;
    // Read-only and timed files make a lost attribute or time visible.
    const auto lib = s.mainFolder() / "bin/lib03.dll";
    ASSERT_TRUE(kz::platform::nativeFileSystem().setFileTime(lib.c_str(), 946684800));
    ASSERT_TRUE(kz::platform::nativeFileSystem().setFileAttributes(
        (s.mainFolder() / "misc.set/hlpfiles/app02/app02_help.hlp").c_str(), kz::platform::kAttrReadOnly));
    kz::TrackedFileTable table = prepare(s);
    const kz::test::FolderSnapshot before = kz::test::snapshotFolder(s.mainFolder());
    bool copied = false;
    std::string failed;
    {
      FaultInjector injector(failAt);
      copied = copy(s, table);
      failed = injector.failed();
    }
    if (copied) {
      expectUpdated(s);
    } else {
      ++failedRuns;
      EXPECT_EQ(kz::test::describeDifferences(before, kz::test::snapshotFolder(s.mainFolder())), "")
          << "failing call " << failAt << ": " << failed;
    }
  }
  // Header writes and moves of tracked files must fail the step; only companion handling may not.
  EXPECT_GT(failedRuns, operations / 2);
}

}  // namespace
