// The install as a transaction, under injected faults and crashes: every single failing file
// operation of a whole run (extraction, header write-back, copy, rollback), every pair of one
// forward and one rollback fault, and a crash after every changing operation followed by a
// recovery from what is on the disk alone. Each run must leave the main folder exactly as it was
// or fully updated, and never lose an original. The figures are printed for the record.
#include <gtest/gtest.h>

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

// Every file operation of a whole run fails in turn, alone. A run that completes leaves the
// update in place (and, when the fault was in the clearing of the set-aside folder, a set-aside
// folder that the next run clears); a run that fails leaves the main folder exactly as before:
// contents, attributes (hidden and read-only included), permissions, write times and folders.
TEST(InstallTransaction, EverySingleFaultLeavesTheMainFolderAsItWasOrUpdated) {
  long operations = 0;
  {
    Installer counting;
    FaultFiles seam;
    counting.install();
    ASSERT_TRUE(counting.presenter.updateComplete());
    operations = seam.operations();
  }
  ASSERT_GT(operations, 100);
  long identical = 0;
  long updated = 0;
  long leftForNextRun = 0;
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
  EXPECT_EQ(identical + updated, operations);
  // Every move was among the faults (two per replaced file, one per added file and one per older
  // help file: 8), and every journal flush (the plan, one before each move, the commit: 10).
  EXPECT_EQ(mustFailRuns, 8 + 10);
}

}  // namespace
