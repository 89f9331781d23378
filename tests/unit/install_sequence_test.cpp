// The whole install sequence on a generated 6.09 product, through the presenter and a recording
// view: the exact log, beeps, button states, registry and files of the success run and of every
// failure path.
#include "app/install_sequence.h"
#include "install/journal.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/string_table.h"
#include "app/update_presenter.h"
#include "platform/files.h"
#include "platform/message_format.h"
#include "package/extract_package.h"
#include "platform/shell_move.h"
#include "support/folder_snapshot.h"
#include "support/install_scenario.h"
#include "support/product_package.h"
#include "support/recording_view.h"

namespace {

using kz::platform::RegistryRoot;
using kz::test::InstallScenario;

const char* kModulePath = "C:\\Downloads\\kaem_update611.exe";
const char* kAutoCheckValues[] = {
    "Auto Check New Version - Disabled",
    "Auto Check New Version - Last Date Disabled",
    "Auto Check New Version - Last Date Checked",
    "Auto Check New Version - New Update Available",
    "Auto Check New Version - New Upgrade Available",
    "Auto Check New Version - New Upgrade Webpage",
    "Auto Check New Version - New Update Upgrade Last Date Shown",
};

struct Dialog {
  InstallScenario& scenario;
  kz::UpdateApp app;
  kz::test::RecordingView view;
  bool extractionWorks = true;
  // When set, the real extraction step runs over this package area instead of the stand-in.
  std::vector<uint8_t> package;
  kz::UpdatePresenter presenter;

  explicit Dialog(InstallScenario& s) : scenario(s), presenter(app, view, steps()) {
    kz::copyPathField(app.mainFolder, s.mainFolderText().c_str());
    kz::copyPathField(app.modulePath, kModulePath);
    presenter.OnInitDialog();
    view.beeps.clear();
  }

  kz::PackageSteps steps() {
    return {[this](char* out) {
              std::snprintf(out, 260, "%s\\", scenario.workFolderText().c_str());
              return true;
            },
            [this](kz::ExtractionFailure* failure) {
              if (!package.empty()) return kz::extractPackage(package.data(), app.workFolder, failure);
              const bool wrote = scenario.extraction()();
              return wrote && extractionWorks;
            }};
  }

  std::string location() const { return "Location of the main folder of Kestrome : \"" + scenario.mainFolderText() + "\\\""; }

  void expectButtons(bool installEnabled, const char* quitCaption, int focus) {
    EXPECT_EQ(view.enabled[KZ_IDC_INSTALL], installEnabled);
    EXPECT_EQ(view.enabled[KZ_IDC_MAIN_FOLDER], installEnabled);
    EXPECT_EQ(view.captions[KZ_IDC_QUIT], quitCaption);
    EXPECT_EQ(view.focus, focus);
  }
};

const std::string kSuccessStages =
    "\r\n\r\nInitializing......Ok.\r\nDecompressing files......Ok.\r\nTesting files compatibility......Ok."
    "\r\nCopying files......Ok.\r\n\r\nInstallation of the update completed and successful.";

// The success run: the exact log, the plain beep, only Close left, the registry recorded and
// cleared, every file replaced with its install values carried, the old help files gone, and
// quitting no longer asks.
TEST(InstallSequence, UpdatesA609ProductTo611) {
  InstallScenario s;
  auto& reg = s.registry();
  const char* key = kz::platform::kProductSettingsKey;
  ASSERT_EQ(reg.setString(RegistryRoot::CurrentUser, key, "Main Folder Path", "C:\\Old"), 0u);
  for (const char* v : kAutoCheckValues) ASSERT_EQ(reg.setString(RegistryRoot::CurrentUser, key, v, "1"), 0u);
  ASSERT_EQ(reg.setString(RegistryRoot::CurrentUser, key, "Units", "mm"), 0u);

  Dialog d(s);
  d.presenter.OnInstall();
  EXPECT_EQ(d.view.log, d.location() + kSuccessStages);
  EXPECT_EQ(d.view.beeps, std::vector<uint32_t>{0x00});
  d.expectButtons(false, "&Close", KZ_IDC_QUIT);
  EXPECT_TRUE(d.presenter.updateComplete());

  EXPECT_EQ(s.registryValue(RegistryRoot::LocalMachine, "Main Folder Path"), s.mainFolderText());
  EXPECT_EQ(s.registryValue(RegistryRoot::CurrentUser, "Main Folder Path"), "<missing>");
  for (const char* v : kAutoCheckValues) EXPECT_EQ(s.registryValue(RegistryRoot::CurrentUser, v), "<missing>") << v;
  EXPECT_EQ(s.registryValue(RegistryRoot::CurrentUser, "Units"), "mm");

  for (int row = 0; row < kz::kTrackedFileCount; ++row) {
    const auto path = kz::test::productPath(s.mainFolder(), kz::kTrackedRows[row].relativePath);
    uint32_t offset = 0;
    const std::vector<uint8_t> update = kz::test::productFileBytes(row, s.update().files[row], &offset);
    if (kz::kTrackedRows[row].kind != kz::TrackedKind::Application) {
      EXPECT_EQ(kz::test::readFileBytes(path), update) << row;
      continue;
    }
    kz::PackageHeader h;
    ASSERT_EQ(kz::readPackageHeader(path.c_str(), offset, h), kz::PackageHeaderStatus::Ok) << row;
    EXPECT_EQ(h.productVersion, 6.11);
    EXPECT_EQ(h.installValue1, 5u);
    EXPECT_EQ(h.installValue2, 0x1234u);
    EXPECT_EQ(h.installValue3, static_cast<uint32_t>(77 + row - 2));
    EXPECT_EQ(h.transientValue, 0u);
  }
  for (const char* gone : {"misc.set/hlpfiles/app01/app01_help.hlp", "misc.set/hlpfiles/app06/app06_help.gid",
                           "misc.set/hlpfiles/tool04/tool04_help.hlp"}) {
    EXPECT_FALSE(std::filesystem::exists(s.mainFolder() / gone)) << gone;
  }

  d.presenter.OnQuit();
  EXPECT_TRUE(d.view.questions.empty());
  EXPECT_EQ(d.view.closedWith, kz::kDialogResultCancel);
}

// The same update made into a real package and extracted by the package reader: the run ends
// with the exact log and every tracked file replaced.
TEST(InstallSequence, InstallsFromARealPackage) {
  InstallScenario s;
  Dialog d(s);
  d.package = kz::test::updatePackageOf(s.update());
  d.presenter.OnInstall();
  EXPECT_EQ(d.view.log, d.location() + kSuccessStages);
  EXPECT_TRUE(d.presenter.updateComplete());
  EXPECT_EQ(kz::test::readFileBytes(s.mainFolder() / "bin/tool07.exe"),
            kz::test::productFileBytes(15, s.update().files[15]));
  EXPECT_EQ(kz::test::readFileBytes(s.mainFolder() / "misc.set/hlpfiles/app03/app03_help.chm"),
            kz::test::productFileBytes(18, s.update().files[18]));
  kz::PackageHeader h;
  uint32_t offset = 0;
  ASSERT_EQ(kz::findPackageHeader((s.mainFolder() / "bin/app06.exe").c_str(), offset), kz::PackageHeaderStatus::Ok);
  ASSERT_EQ(kz::readPackageHeader((s.mainFolder() / "bin/app06.exe").c_str(), offset, h), kz::PackageHeaderStatus::Ok);
  EXPECT_EQ(h.installValue3, 77u + 6);
  EXPECT_EQ(h.transientValue, 0u);
}

// A damaged package fails at "Decompressing files..." and leaves the product as it was.
TEST(InstallSequence, DamagedPackageFailsExtraction) {
  InstallScenario s;
  Dialog d(s);
  d.package = kz::test::updatePackageOf(s.update());
  d.package[kz::kPackageHeaderSize + 4 + 200] ^= 0xFF;
  const auto before = kz::test::snapshotFolder(s.mainFolder());
  d.presenter.OnInstall();
  EXPECT_EQ(d.view.log, d.location() + "\r\n\r\nInitializing......Ok.\r\nDecompressing files......FAILED."
                                       "\r\nThe package entry \"bin\\lib01.dll\" failed its check: its compressed data is damaged.");
  EXPECT_EQ(d.view.beeps, std::vector<uint32_t>{0x10});
  EXPECT_EQ(kz::test::describeDifferences(before, kz::test::snapshotFolder(s.mainFolder())), "");
}

// An invalid main folder stops the run at the validation: nothing but its text, its beep, and no
// button, caption or extraction touched.
TEST(InstallSequence, InvalidMainFolderStopsAtValidation) {
  for (const bool emptyFolder : {true, false}) {
    InstallScenario s;
    Dialog d(s);
    if (emptyFolder) {
      d.app.mainFolder[0] = '\0';
    } else {
      std::filesystem::remove_all(s.mainFolder() / "fonts");
    }
    d.presenter.OnInstall();
    const char* error = kz::strings::lookup(emptyFolder ? kz::strings::kErrorNoMainFolder : kz::strings::kErrorCorruptMainFolder);
    const std::string location = emptyFolder ? "Location of the main folder of Kestrome : Unknown" : d.location();
    EXPECT_EQ(d.view.log, location + error);
    EXPECT_EQ(d.view.beeps, std::vector<uint32_t>{0x10});
    d.expectButtons(true, "&Quit", KZ_IDC_INSTALL);
    EXPECT_EQ(s.extractions(), 0);
    EXPECT_FALSE(d.presenter.updateComplete());
  }
}

// A tracked file held open stops the run after "Initializing...": message 1502 names this
// executable, the exclamation beep sounds and Install keeps the focus; once the file is released a
// second press runs the whole sequence from the validation.
TEST(InstallSequence, HeldFileStopsAtInitializingAndAllowsRetry) {
  InstallScenario s;
  Dialog d(s);
  std::FILE* held = std::fopen((s.mainFolder() / "bin/tool03.exe").c_str(), "rb");
  ASSERT_NE(held, nullptr);
  d.presenter.OnInstall();
  const std::string advice =
      kz::platform::messageFormatter().format(kz::strings::lookup(kz::strings::kApplicationsRunning), {kModulePath});
  const std::string cause =
      "\r\nThe file \"" + s.mainFolderText() + "\\bin\\tool03.exe\" is open in another program or cannot be changed.";
  EXPECT_EQ(d.view.log, d.location() + "\r\n\r\nInitializing......FAILED." + cause + advice);
  EXPECT_NE(d.view.log.find("is\r\n            \"C:\\Downloads\\kaem_update611.exe\"."), std::string::npos);
  EXPECT_EQ(d.view.beeps, std::vector<uint32_t>{0x30});
  d.expectButtons(true, "&Quit", KZ_IDC_INSTALL);
  EXPECT_EQ(s.extractions(), 0);

  std::fclose(held);
  d.view.beeps.clear();
  d.presenter.OnInstall();
  EXPECT_EQ(d.view.log, d.location() + kSuccessStages);
  EXPECT_TRUE(d.presenter.updateComplete());
}

// A failed extraction ends the run with the hand beep and only Close left; quitting asks.
TEST(InstallSequence, ExtractionFailureLeavesOnlyClose) {
  InstallScenario s;
  Dialog d(s);
  d.extractionWorks = false;
  const auto before = kz::test::snapshotFolder(s.mainFolder());
  d.presenter.OnInstall();
  EXPECT_EQ(d.view.log, d.location() + "\r\n\r\nInitializing......Ok.\r\nDecompressing files......FAILED.");
  EXPECT_EQ(d.view.beeps, std::vector<uint32_t>{0x10});
  d.expectButtons(false, "&Close", KZ_IDC_QUIT);
  EXPECT_EQ(kz::test::describeDifferences(before, kz::test::snapshotFolder(s.mainFolder())), "");
  d.presenter.OnQuit();
  EXPECT_EQ(d.view.questions.size(), 1u);
}

// Each compatibility rule that fails gives the same report: "...FAILED." after the test's heading,
// the exclamation beep, the Quit caption back, both buttons enabled and Install focused; nothing in
// the main folder changes, and the next press extracts again.
TEST(InstallSequence, CompatibilityFailureReturnsToReady) {
  struct Breakage {
    const char* name;
    std::function<void(kz::test::ProductLayout&)> change;
    const char* cause;  // the cause line; "<main>" and "<work>" stand for the two folders
  };
  const Breakage breakages[] = {
      {"fourth component", [](kz::test::ProductLayout& u) { u.files[0].version = kz::makeVersion(6, 11, 0, 112); },
       "The installed file \"<main>\\bin\\lib01.dll\" has version 6.9.2.111, which this update's version "
       "6.11.0.112 does not replace."},
      {"lower major", [](kz::test::ProductLayout& u) { u.files[10].version = kz::makeVersion(5, 11, 0, 111); },
       "The installed file \"<main>\\bin\\tool02.exe\" has version 6.9.2.111, which this update's version "
       "5.11.0.111 does not replace."},
      {"lower minor", [](kz::test::ProductLayout& u) { u.files[14].version = kz::makeVersion(6, 8, 0, 111); },
       "The installed file \"<main>\\bin\\tool06.exe\" has version 6.9.2.111, which this update's version "
       "6.8.0.111 does not replace."},
      {"product code", [](kz::test::ProductLayout& u) { u.files[3].header->productCode = {'K', 'A', 'F', '\0'}; },
       "The installed application \"<main>\\bin\\app01.exe\" belongs to another Kestrome product than this update."},
      {"product number", [](kz::test::ProductLayout& u) { u.files[5].header->productNumber = 9; },
       "The installed application \"<main>\\bin\\app03.exe\" belongs to another Kestrome product than this update."},
      {"product version", [](kz::test::ProductLayout& u) { u.files[8].header->productVersion = 6.05; },
       "The installed application \"<main>\\bin\\app06.exe\" is of product version 6.09, later than this update's "
       "6.05."},
      {"no header", [](kz::test::ProductLayout& u) { u.files[6].header.reset(); },
       "The application \"<work>\\bin\\app04.exe\" carries no product identification."},
      {"help file missing", [](kz::test::ProductLayout& u) { u.files[22].present = false; },
       "The update package does not hold the file \"misc.set\\hlpfiles\\tool04\\tool04_help.chm\"."},
      {"new file missing", [](kz::test::ProductLayout& u) { u.files[1].present = false; },
       "The update package does not hold the file \"bin\\lib02.dll\"."},
  };
  const auto withFolders = [](std::string text, const InstallScenario& s) {
    for (const auto& [mark, folder] : {std::pair<std::string, std::string>{"<main>", s.mainFolderText()},
                                       {"<work>", s.workFolderText()}}) {
      for (size_t at = text.find(mark); at != std::string::npos; at = text.find(mark)) text.replace(at, mark.size(), folder);
    }
    return text;
  };
  for (const Breakage& b : breakages) {
    kz::test::ProductLayout update = kz::test::updateFiles();
    b.change(update);
    InstallScenario s(kz::test::installedProduct(), update);
    Dialog d(s);
    const auto before = kz::test::snapshotFolder(s.mainFolder());
    d.presenter.OnInstall();
    EXPECT_EQ(d.view.log, d.location() +
                              "\r\n\r\nInitializing......Ok.\r\nDecompressing files......Ok.\r\nTesting files "
                              "compatibility......FAILED.\r\n" + withFolders(b.cause, s))
        << b.name;
    EXPECT_EQ(d.view.beeps, std::vector<uint32_t>{0x30}) << b.name;
    d.expectButtons(true, "&Quit", KZ_IDC_INSTALL);
    EXPECT_FALSE(d.presenter.updateComplete());
    EXPECT_EQ(kz::test::describeDifferences(before, kz::test::snapshotFolder(s.mainFolder())), "") << b.name;
    d.presenter.OnInstall();
    EXPECT_EQ(s.extractions(), 2) << b.name;
  }
}

// A move that fails in the copy step: "...FAILED." after "Copying files...", the hand beep, only
// Close left, no registry change, and the main folder exactly as before the run.
TEST(InstallSequence, CopyFailureRestoresTheMainFolder) {
  struct FailingMover final : kz::platform::ShellMover {
    bool moveFile(const char* from, const char* to, void* owner) override {
      if (std::string(from).find("tool02.exe") != std::string::npos) return false;
      return kz::platform::nativeShellMover().moveFile(from, to, owner);
    }
  } mover;
  InstallScenario s;
  Dialog d(s);
  const auto before = kz::test::snapshotFolder(s.mainFolder());
  {
    kz::platform::ScopedShellMover scoped(mover);
    d.presenter.OnInstall();
  }
  const std::string installed = s.mainFolderText() + "\\bin\\tool02.exe";
  const std::string aside = s.mainFolderText() + "\\" + kz::kSetAsideFolder + "\\bin\\tool02.exe";
  EXPECT_EQ(d.view.log, d.location() +
                            "\r\n\r\nInitializing......Ok.\r\nDecompressing files......Ok.\r\nTesting files "
                            "compatibility......Ok.\r\nCopying files......FAILED.\r\nThe file \"" +
                            installed + "\" could not be moved to \"" + aside + "\".");
  EXPECT_EQ(d.view.beeps, std::vector<uint32_t>{0x10});
  d.expectButtons(false, "&Close", KZ_IDC_QUIT);
  EXPECT_FALSE(d.presenter.updateComplete());
  EXPECT_EQ(s.registryValue(RegistryRoot::LocalMachine, "Main Folder Path"), "<missing>");
  EXPECT_EQ(kz::test::describeDifferences(before, kz::test::snapshotFolder(s.mainFolder())), "");
}

// A registry that cannot be written does not keep the installation from completing.
TEST(InstallSequence, RegistryFailureIsIgnored) {
  InstallScenario s;
  kz::platform::FileRegistry unwritable((s.workFolder() / "no-folder" / "registry.txt").string());
  kz::platform::ScopedRegistry scoped(unwritable);
  Dialog d(s);
  d.presenter.OnInstall();
  EXPECT_EQ(d.view.log, d.location() + kSuccessStages);
  EXPECT_EQ(d.view.beeps, std::vector<uint32_t>{0x00});
  EXPECT_TRUE(d.presenter.updateComplete());
}

// A run that fails after the probe, in the extraction or in the copy step's header write-back
// (before anything moved), leaves every installed file with the attributes it had, although the
// probe had to take the read-only attribute to open it, even when giving it back at once failed:
// the put-back is retried when the run stops, also for the rows marked for copy.
TEST(InstallSequence, FailedRunLeavesAttributesAsTheyWere) {
  for (const bool inHeaderWriteBack : {false, true}) {
    InstallScenario s;
    for (const char* file : {"bin/lib02.dll", "bin/app04.exe"}) {
      ASSERT_TRUE(kz::platform::nativeFileSystem().setFileAttributes((s.mainFolder() / file).c_str(),
                                                                     kz::platform::kAttrReadOnly));
    }
    Dialog d(s);
    d.extractionWorks = inHeaderWriteBack;
    const auto before = kz::test::snapshotFolder(s.mainFolder());
    // The first attempt to give lib02.dll its read-only attribute back fails; so does every header
    // write-back when asked for.
    struct RefuseOnce final : kz::platform::ForwardingFileSystem {
      using ForwardingFileSystem::ForwardingFileSystem;
      bool refused = false;
      bool refuseHeaders = false;
      bool setFileAttributes(const char* p, uint32_t a) override {
        if (!refused && (a & kz::platform::kAttrReadOnly) != 0 && std::string(p).find("lib02.dll") != std::string::npos) {
          refused = true;
          return false;
        }
        return inner_.setFileAttributes(p, a);
      }
      std::FILE* openFile(const char* p, const char* m) override {
        return refuseHeaders && std::string(m) == "rb+" ? nullptr : inner_.openFile(p, m);
      }
    } refuseOnce{kz::platform::nativeFileSystem()};
    refuseOnce.refuseHeaders = inHeaderWriteBack;
    {
      kz::platform::ScopedFileSystem scoped(refuseOnce);
      d.presenter.OnInstall();
    }
    EXPECT_TRUE(refuseOnce.refused);
    EXPECT_EQ(d.view.log.rfind(d.location() + (inHeaderWriteBack ? "\r\n\r\nInitializing......Ok.\r\nDecompressing files......Ok."
                                                                  "\r\nTesting files compatibility......Ok.\r\nCopying files......FAILED.\r\n"
                                                                : "\r\n\r\nInitializing......Ok.\r\nDecompressing files......FAILED."),
                               0),
              0u)
        << d.view.log;
    EXPECT_EQ(kz::test::describeDifferences(before, kz::test::snapshotFolder(s.mainFolder())), "") << inHeaderWriteBack;
  }
}

// A copy whose rollback cannot put the originals back names the failed move and the folder that
// keeps the originals; the next run of the application puts them back first, says so, and then
// installs.
TEST(InstallSequence, UnfinishedRollbackKeepsTheOriginalsForTheNextRun) {
  InstallScenario s;
  const std::string aside = s.mainFolderText() + "\\" + kz::kSetAsideFolder;
  // tool02.exe's new file cannot go in; nothing can come back out of the set-aside folder.
  struct Stuck final : kz::platform::ShellMover {
    std::string aside;
    bool moveFile(const char* from, const char* to, void* owner) override {
      const std::string source = from;
      if (source.find("tool02.exe") != std::string::npos && source.find(aside) == std::string::npos &&
          std::string(to).find(aside) == std::string::npos) {
        return false;
      }
      if (source.rfind(aside, 0) == 0) return false;
      return kz::platform::nativeShellMover().moveFile(from, to, owner);
    }
  } stuck;
  stuck.aside = aside;
  {
    Dialog d(s);
    kz::platform::ScopedShellMover scoped(stuck);
    d.presenter.OnInstall();
    const std::string installed = s.mainFolderText() + "\\bin\\tool02.exe";
    EXPECT_EQ(d.view.log, d.location() +
                              "\r\n\r\nInitializing......Ok.\r\nDecompressing files......Ok.\r\nTesting files "
                              "compatibility......Ok.\r\nCopying files......FAILED.\r\nThe file \"" +
                              s.workFolderText() + "\\bin\\tool02.exe\" could not be moved to \"" + installed +
                              "\".\r\nThe original files are kept in the folder \"" + aside +
                              "\"; run this update application again to put them back.");
    EXPECT_FALSE(d.presenter.updateComplete());
  }
  ASSERT_TRUE(kz::test::holdsSetAsideFolder(s.mainFolder()));
  EXPECT_TRUE(std::filesystem::exists(s.mainFolder() / kz::kSetAsideFolder / kz::kJournalFile));
  EXPECT_TRUE(std::filesystem::exists(s.mainFolder() / kz::kSetAsideFolder / "bin/lib01.dll"));

  // While the originals still cannot move, the next Install stops before anything else.
  {
    Dialog next(s);
    kz::platform::ScopedShellMover scoped(stuck);
    const int extractions = s.extractions();
    next.presenter.OnInstall();
    EXPECT_EQ(next.view.log.rfind(next.location() + "\r\n\r\nRestoring the files of an interrupted installation......FAILED.\r\n", 0),
              0u)
        << next.view.log;
    EXPECT_NE(next.view.log.find("\r\nThe original files are kept in the folder \"" + aside + "\""), std::string::npos);
    EXPECT_EQ(next.view.beeps, std::vector<uint32_t>{0x30});
    next.expectButtons(true, "&Quit", KZ_IDC_INSTALL);
    EXPECT_EQ(s.extractions(), extractions);
  }
  Dialog last(s);
  last.presenter.OnInstall();
  EXPECT_EQ(last.view.log, last.location() + "\r\n\r\nRestoring the files of an interrupted installation......Ok." +
                               kSuccessStages);
  EXPECT_TRUE(last.presenter.updateComplete());
  EXPECT_FALSE(kz::test::holdsSetAsideFolder(s.mainFolder()));
}

// Every cause has its line: a line break first, its inserts filled in, no insert left over.
TEST(InstallSequence, EveryFailureCauseHasItsLine) {
  for (int c = static_cast<int>(kz::FailureCause::FileInUse); c <= static_cast<int>(kz::FailureCause::LinkedFolder); ++c) {
    kz::StepFailure failure;
    failure.note(static_cast<kz::FailureCause>(c), "FILE1", "DETAIL2", "EXTRA3");
    const std::string line = kz::DescribeFailureCause(failure);
    EXPECT_EQ(line.rfind("\r\n", 0), 0u) << c;
    EXPECT_EQ(line.find('%'), std::string::npos) << c;
    EXPECT_EQ(line.find("\r\n", 2), std::string::npos) << c << ": one line";
    const bool namesNoFile = failure.cause == kz::FailureCause::NoPackage || failure.cause == kz::FailureCause::PackageDamaged ||
                             failure.cause == kz::FailureCause::OutOfMemory;
    EXPECT_EQ(line.find("FILE1") != std::string::npos, !namesNoFile) << c << ": " << line;
  }
  EXPECT_EQ(kz::DescribeFailureCause(kz::StepFailure{}), "");
}

}  // namespace
