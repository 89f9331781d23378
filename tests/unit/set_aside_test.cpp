// Recovery from the set-aside folder: an interrupted copy is rolled back from the disk alone, a
// completed one only cleared, and whatever cannot be understood or finished is left in place.
#include "install/set_aside.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "install/main_folder.h"
#include "package/crc32.h"
#include "platform/files.h"
#include "platform/posix/native_path.h"
#include "platform/shell_move.h"
#include "support/folder_snapshot.h"
#include "support/install_scenario.h"

namespace {

namespace fs = std::filesystem;
using kz::JournalKind;
using kz::RecoveryOutcome;
using kz::test::InstallScenario;

struct Interrupted {
  InstallScenario s;
  kz::test::FolderSnapshot before;
  fs::path aside;

  // The state a crash leaves in the middle of a copy: the application set aside and a new file
  // in its place, the added tool in place and its folder made, the journal saying so.
  // identified: the journal records each new file's size and CRC-32, as the copy step writes it.
  explicit Interrupted(bool committed = false, bool identified = false) {
    fs::remove_all(s.mainFolder() / "misc.set/hlpfiles/tool04");
    before = kz::test::snapshotFolder(s.mainFolder());
    aside = s.mainFolder() / kz::kSetAsideFolder;
    fs::create_directories(aside / "bin");
    fs::rename(s.mainFolder() / "bin/app01.exe", aside / "bin/app01.exe");
    kz::test::writeFileBytes(s.mainFolder() / "bin/app01.exe", {'n', 'e', 'w'});
    fs::create_directories(s.mainFolder() / "misc.set/hlpfiles/tool04");
    kz::test::writeFileBytes(s.mainFolder() / "misc.set/hlpfiles/tool04/tool04_help.chm", {'a'});
    const uint32_t attributes = kz::platform::nativeFileSystem().fileAttributes((aside / "bin/app01.exe").c_str());
    kz::JournalWriter writer;
    EXPECT_TRUE(writer.create((aside / kz::kJournalFile).c_str()));
    std::vector<kz::JournalRecord> records = {
        {JournalKind::Begin, 0, ""},
        {JournalKind::Replace, attributes, "bin\\app01.exe"},
        {JournalKind::Folder, 0, "misc.set\\hlpfiles\\tool04"},
        {JournalKind::Add, 0, "misc.set\\hlpfiles\\tool04\\tool04_help.chm"},
        {JournalKind::PlanEnd, 3, ""},
        {JournalKind::SetAside, 0, ""},
        {JournalKind::Place, 0, ""},
    };
    if (committed) records.push_back({JournalKind::Commit, 0, ""});
    if (identified) {
      for (const auto& [index, bytes] : {std::pair<int, std::string>{1, "new"}, {3, "a"}}) {
        records[index].placed = kz::JournalRecord::Placed::NewFile;
        records[index].newSize = static_cast<uint32_t>(bytes.size());
        records[index].newCrc = kz::crc32(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
      }
    }
    EXPECT_TRUE(writer.append(records));
  }

  RecoveryOutcome recover(kz::StepFailure* failure = nullptr) {
    return kz::RecoverInterruptedInstall(s.mainFolderText().c_str(), nullptr, failure);
  }
  std::string differences() const { return kz::test::describeDifferences(before, kz::test::snapshotFolder(s.mainFolder())); }
};

// A rollback puts the original back over the new file and takes the added file, its folder and
// the set-aside folder away: the main folder is exactly as before the interrupted run, with nothing
// left for the next one. An original whose attributes changed meanwhile gets the recorded ones.
TEST(Recovery, RollsAnInterruptedCopyBack) {
  const struct {
    const char* name;
    bool identified;
    bool attributesChanged;
  } cases[] = {
      {"as the crash left it", false, false},
      {"an original whose attributes changed", false, true},
      {"a journal naming the run's own files", true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Interrupted run(false, c.identified);
    if (c.attributesChanged) {
      ASSERT_TRUE(kz::platform::nativeFileSystem().setFileAttributes(
          (run.aside / "bin/app01.exe").c_str(), kz::platform::kAttrReadOnly | kz::platform::kAttrHidden));
    }
    EXPECT_EQ(run.recover(), RecoveryOutcome::RolledBack);
    EXPECT_EQ(run.differences(), "");
    EXPECT_EQ(run.recover(), RecoveryOutcome::NothingToDo);
  }
}

// After a completed copy only the replaced files are removed; the update stays.
TEST(Recovery, ClearsACompletedCopy) {
  Interrupted run(true);
  EXPECT_EQ(run.recover(), RecoveryOutcome::Cleared);
  EXPECT_FALSE(kz::test::holdsSetAsideFolder(run.s.mainFolder()));
  EXPECT_EQ(kz::test::readFileBytes(run.s.mainFolder() / "bin/app01.exe"), (std::vector<uint8_t>{'n', 'e', 'w'}));
  EXPECT_TRUE(fs::exists(run.s.mainFolder() / "misc.set/hlpfiles/tool04/tool04_help.chm"));
}

// A journal this program cannot understand stops the recovery with everything left in place.
TEST(Recovery, LeavesEverythingWhenTheJournalCannotBeUnderstood) {
  for (const bool laterFormat : {false, true}) {
    Interrupted run;
    const fs::path journal = run.aside / kz::kJournalFile;
    std::vector<uint8_t> bytes = kz::test::readFileBytes(journal);
    uint8_t* replace = bytes.data() + kz::kJournalRecordSize;
    if (laterFormat) {
      replace[4] = 3;  // intact by its CRC, but of a format version this program does not know
      const uint32_t crc = kz::crc32(replace, 280);
      for (int i = 0; i < 4; ++i) replace[280 + i] = static_cast<uint8_t>(crc >> (8 * i));
    } else {
      replace[30] ^= 0x55;  // damage in the Replace record, with valid records behind it
    }
    kz::test::writeFileBytes(journal, bytes);
    const auto inDoubt = kz::test::snapshotFolder(run.s.mainFolder());
    kz::StepFailure failure;
    EXPECT_EQ(run.recover(&failure), RecoveryOutcome::Failed) << laterFormat;
    EXPECT_EQ(failure.cause, kz::FailureCause::JournalUnreadable);
    EXPECT_EQ(failure.keptIn, run.s.mainFolderText() + "\\" + kz::kSetAsideFolder);
    EXPECT_EQ(kz::test::describeDifferences(inDoubt, kz::test::snapshotFolder(run.s.mainFolder())), "");
  }
}

// A rollback that cannot put an original back keeps it, with the journal, where the next run
// finds it; that next run then finishes the job.
TEST(Recovery, KeepsWhatItCannotPutBackForTheNextRun) {
  Interrupted run;
  struct Refuses final : kz::platform::ShellMover {
    bool moveFile(const char*, const char*, void*) override { return false; }
  } refuses;
  kz::StepFailure failure;
  {
    kz::platform::ScopedShellMover scoped(refuses);
    EXPECT_EQ(run.recover(&failure), RecoveryOutcome::Failed);
  }
  EXPECT_EQ(failure.cause, kz::FailureCause::FileNotMoved);
  EXPECT_EQ(failure.keptIn, run.s.mainFolderText() + "\\" + kz::kSetAsideFolder);
  EXPECT_TRUE(fs::exists(run.aside / "bin/app01.exe"));
  EXPECT_TRUE(fs::exists(run.aside / kz::kJournalFile));
  EXPECT_EQ(run.recover(), RecoveryOutcome::RolledBack);
  EXPECT_EQ(run.differences(), "");
}

// A link at the set-aside folder, at one of its sub-folders or at a tracked sub-folder of the main
// folder stops the recovery before anything moves, naming the link; what it points at stays.
TEST(Recovery, RefusesToMoveThroughALinkedFolder) {
  for (const std::string& linked : {std::string(kz::kSetAsideFolder), std::string(kz::kSetAsideFolder) + "/bin",
                                   std::string("misc.set/hlpfiles")}) {
    Interrupted run;
    const fs::path target = run.s.mainFolder().parent_path() / "elsewhere";
    fs::rename(run.s.mainFolder() / linked, target);
    fs::create_directory_symlink(target, run.s.mainFolder() / linked);
    const auto inDoubt = kz::test::snapshotFolder(run.s.mainFolder());
    const auto targetBefore = kz::test::snapshotFolder(target);
    kz::StepFailure failure;
    EXPECT_EQ(run.recover(&failure), RecoveryOutcome::Failed) << linked;
    EXPECT_EQ(failure.cause, kz::FailureCause::LinkedFolder) << linked;
    EXPECT_EQ(kz::platform::posixPath(failure.file.c_str()), (run.s.mainFolder() / linked).string());
    EXPECT_EQ(kz::test::describeDifferences(inDoubt, kz::test::snapshotFolder(run.s.mainFolder())), "") << linked;
    EXPECT_EQ(kz::test::describeDifferences(targetBefore, kz::test::snapshotFolder(target)), "") << linked;
  }
}

// The set-aside folder is not one of the product's data folders and does not stand in for one.
TEST(Recovery, SetAsideFolderIsIgnoredByTheValidation) {
  Interrupted run;
  EXPECT_TRUE(kz::ProductSubfoldersPresent(run.s.mainFolderText().c_str(), kz::kValidatedProductVersion));
  fs::create_directories(run.aside / "fonts");
  fs::remove_all(run.s.mainFolder() / "fonts");
  EXPECT_FALSE(kz::ProductSubfoldersPresent(run.s.mainFolderText().c_str(), kz::kValidatedProductVersion));
  EXPECT_FALSE(kz::ProductSubfoldersPresent(run.aside.string().c_str(), kz::kValidatedProductVersion));
}

}  // namespace

namespace {

// A journal is acted on only for what the copy step could have written: tracked paths, the help
// files' older companions, the folders on their way, in any letter case; nothing else.
TEST(Recovery, AcceptsOnlyPathsTheCopyStepWrites) {
  struct Case {
    JournalKind kind;
    const char* path;
    bool ours;
  };
  const Case cases[] = {
      {JournalKind::Replace, "bin\\app01.exe", true},
      {JournalKind::Add, "BIN\\App01.EXE", true},
      {JournalKind::Replace, "misc.set\\hlpfiles\\app01\\app01_help.hlp", true},
      {JournalKind::Replace, "misc.set\\hlpfiles\\tool04\\TOOL04_HELP.GID", true},
      {JournalKind::Folder, "misc.set\\hlpfiles", true},
      {JournalKind::Folder, "Misc.Set", true},
      {JournalKind::Add, "misc.set\\hlpfiles\\app01\\app01_help.hlp", false},  // only ever set aside
      {JournalKind::Replace, "bin\\lib01.hlp", false},                           // not a help row
      {JournalKind::Folder, "bin\\app01.exe", false},
      {JournalKind::Folder, "misc.set\\hlpfiles\\", false},
      {JournalKind::Folder, "misc", false},
      {JournalKind::Replace, "", false},
      {JournalKind::SetAside, "bin\\app01.exe", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(kz::PlanEntryCouldBeOurs({c.kind, 0, c.path}), c.ours) << static_cast<int>(c.kind) << " " << c.path;
  }
}

// A planted journal whose plan reaches outside the main folder, or names what the copy step never
// writes, is foreign: the recovery fails naming the set-aside folder, and nothing anywhere around
// the main folder changes, the set-aside folder and the journal included. Each path is tried as a
// new file to delete on rollback and as a set-aside file to delete after a Commit.
TEST(Recovery, ForeignJournalTouchesNothing) {
  const char* forged[] = {"..\\x", "C:\\x", "\\\\srv\\x", "bin\\..\\..\\x", "bin\\other.dll", "bin\\app01.exe:x",
                          "~KMUPDATE\\..\\..\\x"};
  for (const char* path : forged) {
    for (const bool committed : {false, true}) {
      InstallScenario s;
      const fs::path root = s.mainFolder().parent_path();
      kz::test::writeFileBytes(root / "x", {'v'});
      kz::test::writeFileBytes(s.mainFolder() / "bin/other.dll", {'o'});
      kz::test::writeFileBytes(s.mainFolder() / "bin/app01.exe:x", {'s'});
      const fs::path aside = s.mainFolder() / kz::kSetAsideFolder;
      fs::create_directories(aside / "bin");
      kz::test::writeFileBytes(aside / "bin/other.dll", {'a'});
      std::vector<kz::JournalRecord> records = {{JournalKind::Begin, 0, ""},
                                                {committed ? JournalKind::Replace : JournalKind::Add, 0, path},
                                                {JournalKind::PlanEnd, 1, ""},
                                                {JournalKind::Place, 0, ""}};
      if (committed) records.push_back({JournalKind::Commit, 0, ""});
      {
        kz::JournalWriter writer;
        ASSERT_TRUE(writer.create((aside / kz::kJournalFile).c_str()));
        ASSERT_TRUE(writer.append(records));
      }
      const auto before = kz::test::snapshotFolder(root);
      kz::StepFailure failure;
      EXPECT_EQ(kz::RecoverInterruptedInstall(s.mainFolderText().c_str(), nullptr, &failure), RecoveryOutcome::Failed)
          << path << " " << committed;
      EXPECT_EQ(failure.cause, kz::FailureCause::JournalForeign) << path;
      EXPECT_EQ(failure.file, s.mainFolderText() + "\\" + kz::kSetAsideFolder) << path;
      EXPECT_EQ(failure.keptIn, "") << path;
      EXPECT_EQ(kz::test::describeDifferences(before, kz::test::snapshotFolder(root)), "") << path << " " << committed;
    }
  }
}

// Where nothing moved there is nothing to do, and the main folder ends as it was: without a
// set-aside folder; with the folder of a run stopped before its plan reached the disk, which just
// goes; and with a plan longer than a disk page whose write a power cut tore (an earlier page
// lost, a later one on the disk): it was never complete, so the journal is cleared, not left to
// block every later Install. Damage behind a complete plan is still refused (see above).
TEST(Recovery, NothingToDoWhereNothingMoved) {
  const struct {
    const char* name;
    std::function<void(const fs::path& aside)> arrange;
  } cases[] = {
      {"no set-aside folder", [](const fs::path&) {}},
      {"a run that moved nothing",
       [](const fs::path& aside) {
         fs::create_directories(aside);
         kz::test::writeFileBytes(aside / kz::kJournalFile, {'K', 'M', 'J'});
       }},
      {"a plan torn before its end",
       [](const fs::path& aside) {
         fs::create_directories(aside);
         std::vector<kz::JournalRecord> plan = {{JournalKind::Begin, 0, ""}};
         for (const kz::TrackedRow& row : kz::kTrackedRows) plan.push_back({JournalKind::Replace, 0x20, row.relativePath});
         plan.push_back({JournalKind::PlanEnd, static_cast<uint32_t>(plan.size() - 1), ""});
         {
           kz::JournalWriter writer;
           ASSERT_TRUE(writer.create((aside / kz::kJournalFile).c_str()));
           ASSERT_TRUE(writer.append(plan));
         }
         std::vector<uint8_t> bytes = kz::test::readFileBytes(aside / kz::kJournalFile);
         ASSERT_GT(bytes.size(), 4096u + kz::kJournalRecordSize);
         // The first page never reached the disk past the Begin record; the second one did.
         std::fill(bytes.begin() + kz::kJournalRecordSize, bytes.begin() + 4096, 0);
         kz::test::writeFileBytes(aside / kz::kJournalFile, bytes);
         ASSERT_EQ(kz::readJournal((aside / kz::kJournalFile).c_str()).status, kz::JournalReadStatus::Damaged);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    InstallScenario s;
    const auto before = kz::test::snapshotFolder(s.mainFolder());
    c.arrange(s.mainFolder() / kz::kSetAsideFolder);
    EXPECT_EQ(kz::RecoverInterruptedInstall(s.mainFolderText().c_str(), nullptr, nullptr), RecoveryOutcome::NothingToDo);
    EXPECT_EQ(kz::test::describeDifferences(before, kz::test::snapshotFolder(s.mainFolder())), "");
  }
}

// A folder the run made that now holds someone else's file (a desktop.ini) stays, with a remark
// naming it; the rollback is finished all the same, and nothing is left for the next run.
TEST(Recovery, LeavesAFolderHoldingSomeoneElsesFileAndFinishes) {
  Interrupted run;
  kz::test::writeFileBytes(run.s.mainFolder() / "misc.set/hlpfiles/tool04/desktop.ini", {'d'});
  kz::StepFailure failure;
  EXPECT_EQ(run.recover(&failure), RecoveryOutcome::RolledBack);
  ASSERT_EQ(failure.remarks.size(), 1u);
  EXPECT_EQ(failure.remarks[0].cause, kz::FailureCause::FolderLeftInPlace);
  EXPECT_EQ(failure.remarks[0].file, run.s.mainFolderText() + "\\misc.set\\hlpfiles\\tool04");
  EXPECT_EQ(run.differences(), "added: misc.set/hlpfiles/tool04\nadded: misc.set/hlpfiles/tool04/desktop.ini\n");
  EXPECT_EQ(run.recover(), RecoveryOutcome::NothingToDo);
}

// A journal that a crash left and a later run reads after the product was reinstalled: only the
// run's own new files (by the size and CRC-32 the journal recorded) are taken away. What stands
// there now is someone else's: none of it is deleted or replaced, the original stays set aside,
// and the failure names both. (With the run's own files in place the same journal rolls back.)
TEST(Recovery, StaleJournalUndoesOnlyTheRunsOwnFiles) {
  Interrupted run(false, true);
  kz::test::writeFileBytes(run.s.mainFolder() / "bin/app01.exe", {'o', 'l', 'd'});
  kz::test::writeFileBytes(run.s.mainFolder() / "misc.set/hlpfiles/tool04/tool04_help.chm", {'b'});
  const auto reinstalled = kz::test::snapshotFolder(run.s.mainFolder());
  kz::StepFailure failure;
  EXPECT_EQ(run.recover(&failure), RecoveryOutcome::Failed);
  EXPECT_EQ(failure.cause, kz::FailureCause::FileNotOurs);
  EXPECT_EQ(failure.file, run.s.mainFolderText() + "\\bin\\app01.exe");
  EXPECT_EQ(failure.detail, run.s.mainFolderText() + "\\" + kz::kSetAsideFolder + "\\bin\\app01.exe");
  EXPECT_TRUE(failure.keptIn.empty()) << "running again cannot put this original back";
  ASSERT_FALSE(failure.remarks.empty());
  EXPECT_EQ(failure.remarks[0].cause, kz::FailureCause::FileLeftInPlace);
  EXPECT_EQ(kz::test::describeDifferences(reinstalled, kz::test::snapshotFolder(run.s.mainFolder())), "");
}

}  // namespace
