// The copy step: marked rows replaced with their headers written back, older help files removed,
// the set-aside folder gone afterwards, every move judged by its effect, and on a failure the main
// folder restored exactly (contents, attributes, times), or the originals kept where the next run
// finds them.
#include "install/copy_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "install/compatibility.h"
#include "install/set_aside.h"
#include "platform/files.h"
#include "platform/posix/native_path.h"
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

bool copy(InstallScenario& s, kz::TrackedFileTable& table, kz::StepFailure* failure = nullptr) {
  return kz::CopyNewFiles(table, s.mainFolderText().c_str(), nullptr, failure);
}

kz::PackageHeader headerAt(const std::filesystem::path& path, uint32_t offset) {
  kz::PackageHeader h;
  EXPECT_EQ(kz::readPackageHeader(path.c_str(), offset, h), kz::PackageHeaderStatus::Ok);
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
// the .hlp and .gid companions away, and leaves neither a set-aside folder in the main folder nor
// an installed file in the work folder.
TEST(CopyNewFiles, ReplacesEveryMarkedRow) {
  InstallScenario s;
  kz::TrackedFileTable table = prepare(s);
  ASSERT_TRUE(copy(s, table));
  expectUpdated(s);
  EXPECT_FALSE(std::filesystem::exists(s.mainFolder() / "misc.set/hlpfiles/app01/app01_help.hlp"));
  EXPECT_FALSE(std::filesystem::exists(s.mainFolder() / "misc.set/hlpfiles/tool04/tool04_help.gid"));
  EXPECT_FALSE(std::filesystem::exists(s.workFolder() / "bin/lib01.dll"));
  EXPECT_FALSE(kz::test::holdsSetAsideFolder(s.mainFolder()));
  for (const kz::TrackedRow& row : kz::kTrackedRows) {
    EXPECT_FALSE(std::filesystem::exists(kz::test::productPath(s.workFolder(), row.relativePath))) << row.relativePath;
  }
}

// While the step runs, the originals wait in a hidden folder inside the main folder, beside the
// journal, so that setting a file aside is a rename; the moves see it at the first set-aside.
TEST(CopyNewFiles, SetsOriginalsAsideInAHiddenFolderOfTheMainFolder) {
  InstallScenario s;
  kz::TrackedFileTable table = prepare(s);
  const std::vector<uint8_t> oldLibrary = readFileBytes(s.mainFolder() / "bin/lib01.dll");
  struct Watch final : kz::platform::ShellMover {
    std::string aside;
    uint32_t asideAttributes = 0;
    bool journalThere = false;
    std::vector<uint8_t> setAsideBytes;
    bool moveFile(const char* from, const char* to, void* owner) override {
      const bool ok = kz::platform::nativeShellMover().moveFile(from, to, owner);
      const std::string destination = kz::platform::posixPath(to);
      if (setAsideBytes.empty() && destination.rfind(aside, 0) == 0) {
        asideAttributes = kz::platform::nativeFileSystem().fileAttributes(aside.c_str());
        journalThere = std::filesystem::exists(aside + "/" + kz::kJournalFile);
        setAsideBytes = readFileBytes(destination);
      }
      return ok;
    }
  } watch;
  watch.aside = (s.mainFolder() / kz::kSetAsideFolder).string();
  {
    kz::platform::ScopedShellMover scoped(watch);
    ASSERT_TRUE(copy(s, table));
  }
  EXPECT_EQ(watch.setAsideBytes, oldLibrary);
  EXPECT_NE(watch.asideAttributes & kz::platform::kAttrHidden, 0u);
  EXPECT_TRUE(watch.journalThere);
  EXPECT_FALSE(kz::test::holdsSetAsideFolder(s.mainFolder()));
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
  // The table did not see the first row's file (it came after the query): the file is set aside
  // all the same, and put back.
  ASSERT_TRUE(std::filesystem::exists(kz::platform::posixPath(table[0].installedPath)));
  table[0].installedExists = false;
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

  kz::StepFailure failure;
  EXPECT_FALSE(copy(s, table, &failure));
  EXPECT_TRUE(mover.failed);
  EXPECT_EQ(failure.cause, kz::FailureCause::FileNotMoved);
  EXPECT_NE(failure.file.find("tool04_help.chm"), std::string::npos);
  EXPECT_TRUE(failure.keptIn.empty());
  EXPECT_FALSE(std::filesystem::exists(s.mainFolder() / "misc.set/hlpfiles/app01"));
  EXPECT_EQ(kz::test::describeDifferences(before, kz::test::snapshotFolder(s.mainFolder())), "");
}

// A move that reports success but did nothing, or left its source behind, is a failed move: the
// step does not report success over it, and the main folder is put back.
TEST(CopyNewFiles, MoveThatDidNothingIsAFailure) {
  for (const bool copiesOnly : {false, true}) {
    InstallScenario s;
    kz::TrackedFileTable table = prepare(s);
    const kz::test::FolderSnapshot before = kz::test::snapshotFolder(s.mainFolder());
    // Only the new tool06.exe's move out of the work folder is faked.
    struct Liar final : kz::platform::ShellMover {
      bool copiesOnly = false;
      std::string fake;
      bool moveFile(const char* from, const char* to, void* owner) override {
        if (kz::platform::posixPath(from) != fake) return kz::platform::nativeShellMover().moveFile(from, to, owner);
        if (copiesOnly) {
          std::filesystem::copy_file(fake, kz::platform::posixPath(to), std::filesystem::copy_options::overwrite_existing);
        }
        return true;
      }
    } liar;
    liar.copiesOnly = copiesOnly;
    liar.fake = kz::platform::posixPath(table[14].newPath);
    kz::StepFailure failure;
    {
      kz::platform::ScopedShellMover scoped(liar);
      EXPECT_FALSE(copy(s, table, &failure)) << copiesOnly;
    }
    EXPECT_EQ(failure.cause, kz::FailureCause::FileNotMoved) << copiesOnly;
    EXPECT_EQ(kz::test::describeDifferences(before, kz::test::snapshotFolder(s.mainFolder())), "") << copiesOnly;
  }
}

// A set-aside folder left by an earlier run holds that run's originals: the step refuses to
// start over it and changes nothing.
TEST(CopyNewFiles, RefusesToWriteOverALeftSetAsideFolder) {
  InstallScenario s;
  kz::TrackedFileTable table = prepare(s);
  std::filesystem::create_directories(s.mainFolder() / kz::kSetAsideFolder / "bin");
  kz::test::writeFileBytes(s.mainFolder() / kz::kSetAsideFolder / "bin/lib01.dll", {7});
  const kz::test::FolderSnapshot before = kz::test::snapshotFolder(s.mainFolder());
  kz::StepFailure failure;
  EXPECT_FALSE(copy(s, table, &failure));
  EXPECT_EQ(failure.cause, kz::FailureCause::FolderLeftOver);
  EXPECT_EQ(kz::test::describeDifferences(before, kz::test::snapshotFolder(s.mainFolder())), "");
}

// A junction planted at a tracked sub-folder of the main folder (here a symbolic link, which the
// POSIX stand-in reports as one) fails the step before anything moves, naming the link; what it
// points at is untouched.
TEST(CopyNewFiles, RefusesToMoveThroughALinkedFolder) {
  for (const char* linked : {"bin", "misc.set/hlpfiles/app01", "misc.set"}) {
    InstallScenario s;
    kz::TrackedFileTable table = prepare(s);
    const std::filesystem::path target = s.mainFolder().parent_path() / "elsewhere";
    std::filesystem::rename(s.mainFolder() / linked, target);
    std::filesystem::create_directory_symlink(target, s.mainFolder() / linked);
    const kz::test::FolderSnapshot before = kz::test::snapshotFolder(s.mainFolder());
    const kz::test::FolderSnapshot targetBefore = kz::test::snapshotFolder(target);
    kz::StepFailure failure;
    EXPECT_FALSE(copy(s, table, &failure)) << linked;
    EXPECT_EQ(failure.cause, kz::FailureCause::LinkedFolder) << linked;
    EXPECT_EQ(kz::platform::posixPath(failure.file.c_str()), (s.mainFolder() / linked).string());
    EXPECT_EQ(kz::test::describeDifferences(before, kz::test::snapshotFolder(s.mainFolder())), "") << linked;
    EXPECT_EQ(kz::test::describeDifferences(targetBefore, kz::test::snapshotFolder(target)), "") << linked;
  }
}

// A main folder of 212 characters: every installed path fits in 260 bytes, but not every one
// below the set-aside folder. The step refuses before anything moves and says why, and leaves no
// set-aside folder to block the next Install. A journal that an older build left there, whose
// set-aside path cannot exist, rolls back as nothing set aside.
TEST(CopyNewFiles, RefusesBeforeAnythingMovesWhenASetAsidePathDoesNotFit) {
  InstallScenario s;
  std::string name = "Kestrome";
  const size_t length = s.mainFolderText().size() - name.size();
  name.append(212 - length - name.size(), 'k');
  const std::filesystem::path longMain = s.mainFolder().parent_path() / name;
  std::filesystem::rename(s.mainFolder(), longMain);
  ASSERT_EQ(longMain.string().size(), 212u);
  kz::TrackedFileTable table{};
  ASSERT_TRUE(kz::BuildTrackedFileTable(table, longMain.c_str(), s.workFolderText().c_str()));
  kz::GatherInstalledInfo(table);
  ASSERT_TRUE(s.extraction()());
  kz::GatherNewInfo(table);
  ASSERT_TRUE(kz::TestCompatibility(table, kz::ProductCodes{1, 1, 1}));
  const kz::test::FolderSnapshot before = kz::test::snapshotFolder(longMain);

  kz::StepFailure failure;
  EXPECT_FALSE(kz::CopyNewFiles(table, longMain.c_str(), nullptr, &failure));
  EXPECT_EQ(failure.cause, kz::FailureCause::SetAsidePathTooLong);
  EXPECT_EQ(failure.file, longMain.string() + "\\misc.set\\hlpfiles\\app01\\app01_help.chm");
  EXPECT_EQ(failure.detail, longMain.string() + "\\" + kz::kSetAsideFolder);
  EXPECT_EQ(kz::test::describeDifferences(before, kz::test::snapshotFolder(longMain)), "");

  const std::filesystem::path aside = longMain / kz::kSetAsideFolder;
  std::filesystem::create_directories(aside);
  {
    kz::JournalWriter writer;
    ASSERT_TRUE(writer.create((aside / kz::kJournalFile).c_str()));
    ASSERT_TRUE(writer.append({{kz::JournalKind::Begin, 0, ""},
                               {kz::JournalKind::Replace, table[16].installedAttributes, kz::kTrackedRows[16].relativePath},
                               {kz::JournalKind::PlanEnd, 1, ""},
                               {kz::JournalKind::SetAside, 0, ""}}));
  }
  EXPECT_EQ(kz::RecoverInterruptedInstall(longMain.c_str(), nullptr, nullptr), kz::RecoveryOutcome::RolledBack);
  EXPECT_EQ(kz::test::describeDifferences(before, kz::test::snapshotFolder(longMain)), "");
}

}  // namespace
