// The main dialog's presenter: the title for every code combination, the progress log, the
// opening with and without a work folder, the quit rule and a chosen main folder.
#include "app/update_presenter.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/string_table.h"
#include "support/product_fixtures.h"
#include "support/recording_view.h"
#include "support/temp_dir.h"

namespace {

using kz::test::RecordingView;

kz::PackageSteps stepsWithWorkFolder(const std::string& folder) {
  return {[folder](char* out) {
            std::snprintf(out, 260, "%s\\", folder.c_str());
            return true;
          },
          [](kz::ExtractionFailure*) { return true; }};
}

kz::PackageSteps stepsWithoutWorkFolder() {
  return {[](char* out) {
            out[0] = '\0';
            return false;
          },
          [](kz::ExtractionFailure*) { return true; }};
}

// Each combination of language, edition and units selects its title string.
TEST(WindowTitle, ChoosesTheStringForEveryCodeCombination) {
  struct Row {
    int32_t language, edition, units;
    uint16_t id;
  };
  const Row rows[] = {{1, 1, 0, 1001}, {1, 1, 1, 1002}, {1, 3, 0, 1031}, {1, 3, 7, 1032}, {1, 2, 0, 1003},
                      {1, 4, 1, 1004}, {0, 1, 0, 1005}, {0, 1, 1, 1006}, {0, 3, 0, 1033}, {0, 3, 1, 1034},
                      {0, 2, 0, 1007}, {0, 0, 1, 1008}, {2, 1, 1, 1002}};
  for (const Row& r : rows) {
    EXPECT_EQ(kz::titleStringId(r.language, r.edition, r.units), r.id) << r.language << r.edition << r.units;
  }
}

// This build's title, which the About box shows as well.
TEST(WindowTitle, ThisBuildReadsEnglishMetricAtelier) {
  const kz::UpdateApp app;
  EXPECT_EQ(kz::windowTitle(app), "English Metric Update v6.11 for Kestrome Atelier");
  kz::UpdateApp galleria;
  galleria.editionCode = 3;
  galleria.unitsCode = 0;
  EXPECT_EQ(kz::windowTitle(galleria), "English Imperial Update v6.11 for Kestrome Galleria 5050");
}

struct PresenterTest : ::testing::Test {
  kz::test::TempDir dir;
  kz::UpdateApp app;
  RecordingView view;
  std::string main = (dir.path() / "Kestrome").string();
  std::string work = (dir.path() / "~KM1.TMP").string();

  void SetUp() override {
    for (const char* sub : kz::test::kDataFolders) std::filesystem::create_directories(dir.path() / "Kestrome" / sub);
    std::filesystem::create_directories(work);
    kz::copyPathField(app.mainFolder, main.c_str());
  }
};

// appendLog adds directly behind the old text; with replace it leaves only the new text; no text
// adds nothing.
TEST_F(PresenterTest, AppendLogAddsOrReplaces) {
  kz::appendLog(view, "one", false);
  kz::appendLog(view, "two", false);
  EXPECT_EQ(view.log, "onetwo");
  kz::appendLog(view, nullptr, false);
  EXPECT_EQ(view.log, "onetwo");
  kz::appendLog(view, "three", true);
  EXPECT_EQ(view.log, "three");
}

// Opening with a work folder: the title is set, the work folder is kept without its trailing
// backslash, the location line is logged and Install has the focus.
TEST_F(PresenterTest, OpeningValidatesAndFocusesInstall) {
  kz::UpdatePresenter presenter(app, view, stepsWithWorkFolder(work));
  EXPECT_EQ(presenter.OnInitDialog(), KZ_IDC_INSTALL);
  EXPECT_EQ(view.title, "English Metric Update v6.11 for Kestrome Atelier");
  EXPECT_STREQ(app.workFolder, work.c_str());
  EXPECT_EQ(view.log, "Location of the main folder of Kestrome : \"" + main + "\\\"");
  EXPECT_EQ(view.focus, KZ_IDC_INSTALL);
  EXPECT_TRUE(view.beeps.empty());
  EXPECT_EQ(presenter.AboutTitle(), view.title);
}

// An invalid main folder at opening is reported, but Install stays enabled and focused.
TEST_F(PresenterTest, OpeningWithInvalidFolderKeepsInstall) {
  app.mainFolder[0] = '\0';
  kz::UpdatePresenter presenter(app, view, stepsWithWorkFolder(work));
  EXPECT_EQ(presenter.OnInitDialog(), KZ_IDC_INSTALL);
  EXPECT_TRUE(view.enabled[KZ_IDC_INSTALL]);
  EXPECT_EQ(view.beeps, std::vector<uint32_t>{0x10});
}

// Without a work folder: only text 1021 in the log, a hand beep, Install and the main-folder
// button disabled, the focus on Quit; quitting still asks.
TEST_F(PresenterTest, OpeningWithoutWorkFolderDisablesInstallation) {
  kz::UpdatePresenter presenter(app, view, stepsWithoutWorkFolder());
  view.log = "stale";
  EXPECT_EQ(presenter.OnInitDialog(), KZ_IDC_QUIT);
  EXPECT_EQ(view.log, kz::strings::lookup(kz::strings::kErrorNoWorkFolder));
  EXPECT_EQ(view.beeps, std::vector<uint32_t>{0x10});
  EXPECT_FALSE(view.enabled[KZ_IDC_INSTALL]);
  EXPECT_FALSE(view.enabled[KZ_IDC_MAIN_FOLDER]);
  EXPECT_EQ(view.focus, KZ_IDC_QUIT);
  EXPECT_STREQ(app.workFolder, "");
  presenter.OnQuit();
  EXPECT_EQ(view.questions.size(), 1u);
  EXPECT_EQ(view.closedWith, 0);
}

// Before a completed installation, quitting asks with the quit caption and text; No keeps the
// dialog and its log, Yes closes with IDCANCEL.
TEST_F(PresenterTest, QuitAsksUntilTheUpdateIsComplete) {
  kz::UpdatePresenter presenter(app, view, stepsWithWorkFolder(work));
  presenter.OnInitDialog();
  const std::string log = view.log;
  presenter.OnQuit();
  ASSERT_EQ(view.questions.size(), 1u);
  EXPECT_EQ(view.questions[0], std::string("Quit the Update application|") + kz::strings::lookup(kz::strings::kQuitQuestion));
  EXPECT_EQ(view.closedWith, 0);
  EXPECT_EQ(view.log, log);
  view.answerYes = true;
  presenter.OnQuit();
  EXPECT_EQ(view.closedWith, kz::kDialogResultCancel);
}

// A chosen folder replaces the main folder and is validated at once; a valid one moves the focus
// to Install, an invalid one is kept but leaves the focus where it was.
TEST_F(PresenterTest, ChosenFolderIsValidatedAtOnce) {
  kz::UpdatePresenter presenter(app, view, stepsWithWorkFolder(work));
  presenter.OnInitDialog();
  view.focus = KZ_IDC_MAIN_FOLDER;
  EXPECT_TRUE(presenter.OnMainFolderChosen(dir.file("elsewhere").c_str()));
  EXPECT_STREQ(app.mainFolder, dir.file("elsewhere").c_str());
  EXPECT_EQ(view.focus, KZ_IDC_MAIN_FOLDER);
  EXPECT_EQ(view.beeps, std::vector<uint32_t>{0x10});
  EXPECT_TRUE(presenter.OnMainFolderChosen(main.c_str()));
  EXPECT_EQ(view.focus, KZ_IDC_INSTALL);
  EXPECT_EQ(view.log, "Location of the main folder of Kestrome : \"" + main + "\\\"");
}

}  // namespace
