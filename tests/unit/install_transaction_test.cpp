// The install as a transaction, under injected faults and crashes: every single failing file
// operation of a whole run (extraction, header write-back, copy, rollback), every pair of one
// forward and one rollback fault, and a crash after every changing operation followed by a
// recovery from what is on the disk alone. Each run must leave the main folder exactly as it was
// or fully updated, and never lose an original. The figures are printed for the record.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "app/update_presenter.h"
#include "install/copy_files.h"
#include "install/journal.h"
#include "install/set_aside.h"
#include "package/extract_package.h"
#include "platform/file_probe.h"
#include "platform/files.h"
#include "platform/posix/native_path.h"
#include "platform/registry.h"
#include "support/fault_files.h"
#include "support/folder_snapshot.h"
#include "support/install_scenario.h"
#include "support/product_package.h"
#include "support/recording_view.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

// Thousands of small runs: their scratch folders go to memory when the machine offers it (and
// its file system keeps the extended attributes that stand in for hidden and archive), so that
// the suite's time does not depend on how busy the disk is.
class ScratchInMemory final : public ::testing::Environment {
 public:
  void SetUp() override {
    if (std::getenv("TMPDIR") == nullptr && fs::is_directory("/dev/shm")) setenv("TMPDIR", "/dev/shm", 0);
  }
};
const ::testing::Environment* const kScratch = ::testing::AddGlobalTestEnvironment(new ScratchInMemory);
using kz::test::FaultFiles;
using kz::test::FolderSnapshot;
using kz::test::InstallScenario;

// A product small enough to run thousands of times, with every kind of change the copy step
// makes: an application replaced (with its header written back), its help file replaced and the
// older help file and index set aside, and a tool that was not installed added with its help
// file, whose folder the move creates.
constexpr int kApplication = 3;
constexpr int kApplicationHelp = 16;
constexpr int kAddedTool = 12;
constexpr int kAddedToolHelp = 22;

kz::test::ProductLayout smallInstalled() {
  kz::test::ProductLayout layout = kz::test::installedProduct();
  for (int row = 0; row < kz::kTrackedFileCount; ++row) {
    layout.files[row].present = row == kApplication || row == kApplicationHelp;
  }
  return layout;
}

kz::test::ProductLayout smallUpdate() {
  kz::test::ProductLayout layout = kz::test::updateFiles();
  for (int row = 0; row < kz::kTrackedFileCount; ++row) {
    layout.files[row].present = row == kApplication || row == kApplicationHelp || row == kAddedTool || row == kAddedToolHelp;
  }
  return layout;
}

const std::vector<uint8_t>& updatePackage() {
  static const std::vector<uint8_t> package = kz::test::updatePackageOf(smallUpdate());
  return package;
}

// Attributes and times that a careless rollback would lose: a read-only application, a hidden
// help file, a read-only older help file, an old write time.
void markInstalledFiles(const InstallScenario& s) {
  kz::platform::FileSystem& native = kz::platform::nativeFileSystem();
  const auto at = [&](const char* relative) { return kz::test::productPath(s.mainFolder(), relative).string(); };
  ASSERT_TRUE(native.setFileTime(at("bin\\app01.exe").c_str(), 946684800));
  ASSERT_TRUE(native.setFileAttributes(at("bin\\app01.exe").c_str(), kz::platform::kAttrReadOnly));
  ASSERT_TRUE(native.setFileAttributes(at("misc.set\\hlpfiles\\app01\\app01_help.chm").c_str(),
                                       kz::platform::kAttrHidden | kz::platform::kAttrArchive));
  ASSERT_TRUE(native.setFileAttributes(at("misc.set\\hlpfiles\\app01\\app01_help.hlp").c_str(),
                                       kz::platform::kAttrReadOnly));
}

// Nothing holds a product file here; the real probe's look through every process would only
// slow thousands of runs down.
struct NobodyHolds final : kz::platform::FileProbe {
  bool openExclusively(const char* path) override {
    return kz::platform::nativeFileSystem().pathExists(path);
  }
};

// The registry is not what these tests look at; kept in memory, it costs no disk flush.
struct MemoryRegistry final : kz::platform::Registry {
  std::map<std::string, std::string> values;
  static std::string key(kz::platform::RegistryRoot root, const char* path, const char* name) {
    return std::to_string(static_cast<int>(root)) + "|" + path + "|" + name;
  }
  uint32_t readString(kz::platform::RegistryRoot root, const char* path, const char* name, char* buffer,
                      uint32_t& size) override {
    const auto it = values.find(key(root, path, name));
    if (it == values.end()) {
      size = 0;
      return 2;
    }
    const auto needed = static_cast<uint32_t>(it->second.size() + 1);
    if (buffer != nullptr && size >= needed) std::memcpy(buffer, it->second.c_str(), needed);
    const bool fits = buffer == nullptr || size >= needed;
    size = needed;
    return fits ? 0 : 234;
  }
  uint32_t setString(kz::platform::RegistryRoot root, const char* path, const char* name, const char* text) override {
    values[key(root, path, name)] = text;
    return 0;
  }
  uint32_t deleteValue(kz::platform::RegistryRoot root, const char* path, const char* name) override {
    return values.erase(key(root, path, name)) != 0 ? 0 : 2;
  }
};

// A main dialog on a fresh scenario whose Install runs the real extraction of the update package.
struct Installer {
  NobodyHolds probe;
  kz::platform::ScopedFileProbe scopedProbe{probe};
  InstallScenario scenario;
  MemoryRegistry registry;
  kz::platform::ScopedRegistry scopedRegistry{registry};
  kz::UpdateApp app;
  kz::test::RecordingView view;
  kz::UpdatePresenter presenter;

  Installer() : scenario(smallInstalled(), smallUpdate()), presenter(app, view, steps()) {
    kz::copyPathField(app.mainFolder, scenario.mainFolderText().c_str());
    kz::copyPathField(app.modulePath, "C:\\Downloads\\kaem_update611.exe");
    presenter.OnInitDialog();
    markInstalledFiles(scenario);
  }

  kz::PackageSteps steps() {
    return {[this](char* out) {
              std::snprintf(out, 260, "%s\\", scenario.workFolderText().c_str());
              return true;
            },
            [this](kz::ExtractionFailure* failure) {
              return kz::extractPackage(updatePackage().data(), app.workFolder, failure);
            }};
  }

  // A fault can keep the extraction from giving the current directory back; the next run must
  // not start inside this run's work folder, which goes with the scenario.
  void install() {
    const fs::path start = fs::current_path();
    presenter.OnInstall();
    fs::current_path(start);
  }
  FolderSnapshot snapshot() const { return kz::test::snapshotFolder(scenario.mainFolder()); }
  std::string journal() const { return (scenario.mainFolder() / kz::kSetAsideFolder / kz::kJournalFile).string(); }
};

// A snapshot of the main folder without the write time of the application, whose header the copy
// step writes back at install time: what remains is the same in every updated scenario (entries
// are relative, every other file has the package's times).
FolderSnapshot comparable(FolderSnapshot snapshot) {
  const auto it = snapshot.find("bin/app01.exe");
  if (it != snapshot.end()) it->second.modifiedNs = 0;
  return snapshot;
}

// The main folder after a complete update.
const FolderSnapshot& updatedMainFolder() {
  static const FolderSnapshot updated = [] {
    Installer run;
    run.install();
    EXPECT_TRUE(run.presenter.updateComplete());
    return comparable(run.snapshot());
  }();
  return updated;
}

std::string differencesFromUpdated(const Installer& run) {
  return kz::test::describeDifferences(updatedMainFolder(), comparable(run.snapshot()));
}

void printFigure(const char* name, long value) {
  ::testing::Test::RecordProperty(name, std::to_string(value));
  std::printf("[ figures  ] %s = %ld\n", name, value);
}

// What a whole run without a fault does: its file operations, its changes and the change after
// each move. The run completes.
struct FaultFreeRun {
  long operations = 0;
  long changes = 0;
  std::vector<long> changesAfterMoves;
};
FaultFreeRun countFaultFreeRun() {
  Installer counting;
  FaultFiles seam;
  counting.install();
  EXPECT_TRUE(counting.presenter.updateComplete());
  return {seam.operations(), seam.changes(), seam.changesAfterMoves};
}

// The single faults that fail the copy step, and so lead into a rollback: each one's operation,
// with the operations and changes of its run and the changes made before the fault.
struct CopyFault {
  long operation;
  long operations;
  long changesAtFault;
  long changes;
};
std::vector<CopyFault> copyStepFaults() {
  std::vector<CopyFault> faults;
  const long operations = countFaultFreeRun().operations;
  for (long k = 0; k < operations; ++k) {
    Installer run;
    FaultFiles seam;
    seam.failing = {k};
    run.install();
    if (run.view.log.find("Copying files......FAILED.") == std::string::npos) continue;
    faults.push_back({k, seam.operations(), seam.changesAtFirstFailure(), seam.changes()});
  }
  return faults;
}

// Every file operation of a whole run fails in turn, alone. A run that completes leaves the
// update in place (and, when the fault was in the clearing of the set-aside folder, a set-aside
// folder that the next run clears); a run that fails leaves the main folder exactly as before:
// contents, attributes (hidden and read-only included), permissions, write times and folders.
TEST(InstallTransaction, EverySingleFaultLeavesTheMainFolderAsItWasOrUpdated) {
  const long operations = countFaultFreeRun().operations;
  ASSERT_GT(operations, 100);
  long identical = 0;
  long updated = 0;
  long leftForNextRun = 0;
  long restoredByNextRun = 0;
  long mustFailRuns = 0;
  for (long k = 0; k < operations; ++k) {
    Installer run;
    const FolderSnapshot before = run.snapshot();
    std::string failed;
    {
      FaultFiles seam;
      seam.failing = {k};
      run.install();
      failed = seam.firstFailure();
    }
    // A move or a journal flush that fails can never end in a completed update.
    const bool mustFail = failed.rfind("move ", 0) == 0 || failed.rfind("flushFile ", 0) == 0;
    if (mustFail) ++mustFailRuns;
    EXPECT_FALSE(mustFail && run.presenter.updateComplete()) << "operation " << k << ": " << failed;
    if (!run.presenter.updateComplete()) {
      if (kz::test::holdsSetAsideFolder(run.scenario.mainFolder())) {
        // A journal that could not be removed: the run stopped, and the next one takes it away.
        ++restoredByNextRun;
        const kz::RecoveryOutcome outcome = kz::RecoverInterruptedInstall(run.scenario.mainFolderText().c_str(), nullptr, nullptr);
        EXPECT_TRUE(outcome == kz::RecoveryOutcome::RolledBack || outcome == kz::RecoveryOutcome::NothingToDo)
            << "operation " << k << ": " << failed;
      }
      EXPECT_EQ(kz::test::describeDifferences(before, run.snapshot()), "") << "operation " << k << ": " << failed;
      ++identical;
      continue;
    }
    if (kz::test::holdsSetAsideFolder(run.scenario.mainFolder())) {
      ++leftForNextRun;
      // A completed run's leftovers: the replaced files (or only the emptied folder) go.
      const kz::RecoveryOutcome outcome = kz::RecoverInterruptedInstall(run.scenario.mainFolderText().c_str(), nullptr, nullptr);
      EXPECT_TRUE(outcome == kz::RecoveryOutcome::Cleared || outcome == kz::RecoveryOutcome::NothingToDo)
          << "operation " << k << ": " << failed;
      EXPECT_FALSE(kz::test::holdsSetAsideFolder(run.scenario.mainFolder())) << "operation " << k;
    }
    EXPECT_EQ(differencesFromUpdated(run), "") << "operation " << k << ": " << failed;
    ++updated;
  }
  printFigure("single_fault_points", operations);
  printFigure("single_fault_runs_left_as_before", identical);
  printFigure("single_fault_runs_fully_updated", updated);
  printFigure("single_fault_runs_cleared_by_next_run", leftForNextRun);
  printFigure("single_fault_runs_restored_by_next_run", restoredByNextRun);
  EXPECT_EQ(identical + updated, operations);
  // Every move was among the faults (two per replaced file, one per added file and one per older
  // help file: 8), every journal flush (the plan, one before each move, the commit: 10; the
  // probe's: 1), and every flush of a new file (the four extracted, the header written back).
  EXPECT_EQ(mustFailRuns, 8 + 10 + 1 + 4 + 1);
}

}  // namespace

namespace {

// The set-aside folder's path of a main-folder entry ("bin/app01.exe").
fs::path asideOf(const Installer& run, const std::string& entry) {
  return run.scenario.mainFolder() / kz::kSetAsideFolder / entry;
}

// The Replace records of the journal, as snapshot entry names.
std::vector<std::string> journalReplaces(const Installer& run) {
  std::vector<std::string> out;
  const kz::JournalContents contents = kz::readJournal(run.journal().c_str());
  for (const kz::JournalRecord& r : contents.records) {
    if (r.kind != kz::JournalKind::Replace) continue;
    std::string name = r.path;
    for (char& c : name) c = c == '\\' ? '/' : c;
    out.push_back(name);
  }
  return out;
}

// Every original file is in the main folder, or in the set-aside folder with the journal naming
// it there. Returns what is wrong, empty when nothing is.
std::string lostOriginals(const Installer& run, const FolderSnapshot& before) {
  std::string lost;
  const std::vector<std::string> replaces = journalReplaces(run);
  for (const auto& [name, state] : before) {
    if (state.folder) continue;
    const fs::path inPlace = run.scenario.mainFolder() / name;
    if (fs::exists(inPlace) && kz::test::readFileBytes(inPlace) == state.contents) continue;
    const fs::path aside = asideOf(run, name);
    if (!fs::exists(aside) || kz::test::readFileBytes(aside) != state.contents) {
      lost += "lost: " + name + "\n";
    } else if (std::find(replaces.begin(), replaces.end(), name) == replaces.end()) {
      lost += "set aside without a journal record: " + name + "\n";
    }
  }
  return lost;
}

// Every pair of faults: one that fails the copy step, then one in what follows it (the rollback
// and the removal of the set-aside folder). No original is ever lost, and the next run's recovery,
// from the disk alone, puts the main folder back exactly as it was.
TEST(InstallTransaction, EveryPairOfForwardAndRollbackFaultsLosesNothing) {
  long forwardFaults = 0;
  long pairs = 0;
  long completeRollbacks = 0;
  long restoredByNextRun = 0;
  for (const CopyFault& fault : copyStepFaults()) {
    const long k = fault.operation;
    ++forwardFaults;
    for (long j = k + 1; j < fault.operations; ++j) {
      ++pairs;
      Installer run;
      const FolderSnapshot before = run.snapshot();
      std::string failed;
      {
        FaultFiles seam;
        seam.failing = {k, j};
        run.install();
        failed = seam.firstFailure();
      }
      ASSERT_FALSE(run.presenter.updateComplete()) << k << "/" << j;
      EXPECT_EQ(lostOriginals(run, before), "") << "operations " << k << " and " << j << ": " << failed;
      if (!kz::test::holdsSetAsideFolder(run.scenario.mainFolder())) {
        ++completeRollbacks;
        EXPECT_EQ(kz::test::describeDifferences(before, run.snapshot()), "") << k << "/" << j;
        continue;
      }
      const kz::RecoveryOutcome outcome =
          kz::RecoverInterruptedInstall(run.scenario.mainFolderText().c_str(), nullptr, nullptr);
      EXPECT_TRUE(outcome == kz::RecoveryOutcome::RolledBack || outcome == kz::RecoveryOutcome::NothingToDo)
          << k << "/" << j << ": " << static_cast<int>(outcome);
      EXPECT_EQ(kz::test::describeDifferences(before, run.snapshot()), "") << "operations " << k << " and " << j;
      ++restoredByNextRun;
    }
  }
  printFigure("pair_forward_faults", forwardFaults);
  printFigure("pair_runs", pairs);
  printFigure("pair_runs_rolled_back_at_once", completeRollbacks);
  printFigure("pair_runs_restored_by_next_run", restoredByNextRun);
  EXPECT_EQ(completeRollbacks + restoredByNextRun, pairs);
  EXPECT_GT(restoredByNextRun, 0);
}

}  // namespace

namespace {

// What a crash leaves of the journal on the disk: the bytes up to its last flush that succeeded.
// tornBytes more of what was written after it stand for a record cut short (0: none).
void cutJournalAsACrashWould(const Installer& run, const FaultFiles& seam, long tornBytes) {
  const std::string journal = run.journal();
  if (!fs::exists(journal)) return;
  long flushed = 0;
  for (const auto& [path, size] : seam.flushedSizes()) {
    if (kz::platform::posixPath(path.c_str()) == journal) flushed = size;
  }
  const auto written = static_cast<long>(fs::file_size(journal));
  if (tornBytes > 0 && written <= flushed) {
    // Nothing was written after the flush: the torn record is the next one's beginning.
    std::vector<uint8_t> bytes = kz::test::readFileBytes(journal);
    bytes.resize(static_cast<size_t>(flushed));
    const std::vector<uint8_t> head = {'K', 'M', 'J', '1', 1, 0, 7, 0};
    bytes.insert(bytes.end(), head.begin(), head.end());
    kz::test::writeFileBytes(journal, bytes);
    fs::resize_file(journal, static_cast<uintmax_t>(flushed + std::min<long>(tornBytes, 8)));
    return;
  }
  fs::resize_file(journal, static_cast<uintmax_t>(std::min(written, flushed + tornBytes)));
}

// The records of a journal cut back to its plan (Begin to PlanEnd), when its flushed part holds a
// plan but no Commit: the moves' own records lost, as if their writes had never reached the
// disk. False when there is no such plan.
bool cutJournalToItsPlan(const Installer& run) {
  const kz::JournalContents contents = kz::readJournal(run.journal().c_str());
  size_t planEnd = 0;
  for (size_t i = 0; i < contents.records.size(); ++i) {
    if (contents.records[i].kind == kz::JournalKind::Commit) return false;
    if (contents.records[i].kind == kz::JournalKind::PlanEnd) planEnd = i + 1;
  }
  if (planEnd == 0 || planEnd == contents.records.size()) return false;
  fs::resize_file(run.journal(), planEnd * kz::kJournalRecordSize);
  return true;
}

enum class JournalCut { AsFlushed, TornRecord, PlanOnly, PowerCut };

// Runs an install that crashes after change c (and, with a fault, fails operation fault first),
// then leaves the disk as the crash would: the journal cut as asked, or with PowerCut every byte
// written since its file's last flush zeroed (the files that lost bytes counted in zeroed). False
// when that cut has nothing to cut.
bool crashInstall(Installer& run, long c, JournalCut cut, long fault = -1, long* zeroed = nullptr) {
  {
    FaultFiles seam;
    seam.crashAfter = c;
    if (fault >= 0) seam.failing = {fault};
    run.install();
    if (cut == JournalCut::PowerCut) {
      const int files = seam.cutPower({run.scenario.mainFolder(), run.scenario.workFolder()});
      if (zeroed != nullptr) *zeroed += files;
      return true;
    }
    if (!fs::exists(run.journal()) && cut != JournalCut::AsFlushed) return false;
    cutJournalAsACrashWould(run, seam, cut == JournalCut::TornRecord ? 150 : 0);
  }
  return cut != JournalCut::PlanOnly || cutJournalToItsPlan(run);
}

// What a recovery from the disk alone must leave: the main folder exactly as before, or fully
// updated, and no set-aside folder. Returns whether it was as before.
bool expectRecovered(const Installer& run, const FolderSnapshot& before, const std::string& where) {
  const kz::RecoveryOutcome outcome = kz::RecoverInterruptedInstall(run.scenario.mainFolderText().c_str(), nullptr, nullptr);
  EXPECT_NE(outcome, kz::RecoveryOutcome::Failed) << where;
  EXPECT_NE(outcome, kz::RecoveryOutcome::ClearFailed) << where;
  EXPECT_FALSE(kz::test::holdsSetAsideFolder(run.scenario.mainFolder())) << where;
  const std::string asBefore = kz::test::describeDifferences(before, run.snapshot());
  if (asBefore.empty()) return true;
  EXPECT_EQ(differencesFromUpdated(run), "") << where << ", neither as before:\n" << asBefore;
  return false;
}

// A crash after every changing operation of a whole run: from the crash point on nothing more
// reaches the disk. Then everything in memory is dropped and the next run recovers from the disk
// alone: the main folder ends exactly as it was, or, when the crash came after the update was
// complete, fully updated without a set-aside folder. The journal is also cut as a crash could
// have left it: at its last flush, inside a record, or back to its plan; or the power is cut, so
// that every byte written since its file's last flush reads back as zeros (new files and journal
// alike). After a power cut, the recovery itself is also crashed after each of its changes (and
// the power cut again) before a last recovery; and a run whose copy step failed is crashed after
// each change of its rollback.
TEST(InstallTransaction, RecoversFromACrashAfterEveryChange) {
  const long changes = countFaultFreeRun().changes;
  long crashPoints = 0;
  long recoveries = 0;
  std::map<JournalCut, long> identical;
  std::map<JournalCut, long> updated;
  long zeroedFiles = 0;
  for (long c = 0; c <= changes; ++c) {
    ++crashPoints;
    for (const JournalCut cut : {JournalCut::AsFlushed, JournalCut::TornRecord, JournalCut::PlanOnly, JournalCut::PowerCut}) {
      Installer run;
      const FolderSnapshot before = run.snapshot();
      if (!crashInstall(run, c, cut, -1, &zeroedFiles)) continue;
      ++recoveries;
      const std::string where = "crash after change " + std::to_string(c) + ", cut " + std::to_string(static_cast<int>(cut));
      ++(expectRecovered(run, before, where) ? identical : updated)[cut];
    }
  }

  // A second crash inside the recovery that follows a power cut.
  long recoveryCrashes = 0;
  for (long c = 0; c <= changes; ++c) {
    long recoveryChanges = 0;
    {
      Installer run;
      if (!crashInstall(run, c, JournalCut::PowerCut)) continue;
      FaultFiles seam;
      (void)kz::RecoverInterruptedInstall(run.scenario.mainFolderText().c_str(), nullptr, nullptr);
      recoveryChanges = seam.changes();
    }
    for (long r = 0; r < recoveryChanges; ++r) {
      ++recoveryCrashes;
      Installer run;
      const FolderSnapshot before = run.snapshot();
      (void)crashInstall(run, c, JournalCut::PowerCut);
      {
        FaultFiles seam;
        seam.crashAfter = r;
        (void)kz::RecoverInterruptedInstall(run.scenario.mainFolderText().c_str(), nullptr, nullptr);
        (void)seam.cutPower({run.scenario.mainFolder()});
      }
      expectRecovered(run, before, "crash after change " + std::to_string(c) + ", then in the recovery after " + std::to_string(r));
    }
  }

  // A crash inside the rollback of a copy step that failed: after each change from the fault on.
  long rollbackCrashes = 0;
  for (const CopyFault& fault : copyStepFaults()) {
    for (long c = fault.changesAtFault; c < fault.changes; ++c) {
      ++rollbackCrashes;
      Installer run;
      const FolderSnapshot before = run.snapshot();
      (void)crashInstall(run, c, JournalCut::PowerCut, fault.operation);
      EXPECT_TRUE(expectRecovered(run, before, "fault " + std::to_string(fault.operation) +
                                                   ", crash in the rollback after change " + std::to_string(c)));
    }
  }

  printFigure("crash_points", crashPoints);
  printFigure("crash_recoveries", recoveries);
  const char* names[] = {"as_flushed", "torn_record", "cut_to_plan", "power_cut"};
  for (const JournalCut cut : {JournalCut::AsFlushed, JournalCut::TornRecord, JournalCut::PlanOnly, JournalCut::PowerCut}) {
    const std::string name = names[static_cast<int>(cut)];
    printFigure(("crash_" + name + "_left_as_before").c_str(), identical[cut]);
    printFigure(("crash_" + name + "_fully_updated").c_str(), updated[cut]);
  }
  printFigure("crash_power_cut_files_zeroed", zeroedFiles);
  printFigure("crash_in_recovery_after_power_cut", recoveryCrashes);
  printFigure("crash_in_rollback_with_power_cut", rollbackCrashes);
  EXPECT_GT(identical[JournalCut::TornRecord] + updated[JournalCut::TornRecord], 10);
  EXPECT_GT(identical[JournalCut::PlanOnly], 5);
  EXPECT_GT(updated[JournalCut::PowerCut], 0);
  EXPECT_GT(zeroedFiles, 0);
  EXPECT_GT(recoveryCrashes, 100);
  EXPECT_GT(rollbackCrashes, 100);
}

// After a crash in the middle of the copy, the next Install, by a new dialog, first rolls the
// interrupted run back, says so in one line, then installs as usual.
TEST(InstallTransaction, NextInstallRollsAnInterruptedCopyBackFirst) {
  // The crash comes right after the second move: the application set aside and its new file in.
  const std::vector<long> changesAfterMoves = countFaultFreeRun().changesAfterMoves;
  ASSERT_GE(changesAfterMoves.size(), 2u);
  const long crashAt = changesAfterMoves[1];
  Installer crashed;
  const FolderSnapshot before = crashed.snapshot();
  {
    FaultFiles seam;
    seam.crashAfter = crashAt;
    crashed.install();
  }
  ASSERT_TRUE(kz::test::holdsSetAsideFolder(crashed.scenario.mainFolder()));
  ASSERT_NE(kz::test::describeDifferences(before, crashed.snapshot()), "");

  kz::UpdateApp app;
  kz::copyPathField(app.mainFolder, crashed.scenario.mainFolderText().c_str());
  kz::copyPathField(app.modulePath, "C:\\Downloads\\kaem_update611.exe");
  kz::test::RecordingView view;
  kz::UpdatePresenter next(app, view, crashed.steps());
  next.OnInitDialog();
  next.OnInstall();
  EXPECT_EQ(view.log, "Location of the main folder of Kestrome : \"" + crashed.scenario.mainFolderText() +
                          "\\\"\r\n\r\nRestoring the files of an interrupted installation......Ok."
                          "\r\n\r\nInitializing......Ok.\r\nDecompressing files......Ok.\r\nTesting files "
                          "compatibility......Ok.\r\nCopying files......Ok.\r\n\r\nInstallation of the update "
                          "completed and successful.");
  EXPECT_TRUE(next.updateComplete());
  EXPECT_EQ(differencesFromUpdated(crashed), "");
}

}  // namespace
