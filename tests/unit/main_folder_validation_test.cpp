// The validation's log lines: the location line, the two error texts and the beep.
#include "app/main_folder_validation.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/string_table.h"
#include "support/product_fixtures.h"
#include "support/recording_view.h"
#include "support/temp_dir.h"

namespace {

struct MainFolderValidationTest : ::testing::Test {
  kz::test::TempDir dir;
  std::string folder = (dir.path() / "Kestrome").string();
  // Records what the validation writes and sounds; it touches no button, caption or focus.
  kz::test::RecordingView view;
  void SetUp() override {
    for (const char* sub : kz::test::kDataFolders) std::filesystem::create_directories(dir.path() / "Kestrome" / sub);
  }
  void TearDown() override {
    const kz::test::RecordingView opened;
    EXPECT_EQ(view.enabled, opened.enabled) << "validation changed a button";
    EXPECT_EQ(view.captions, opened.captions) << "validation changed a caption";
    EXPECT_EQ(view.focus, opened.focus) << "validation moved the focus";
  }
};

// A complete main folder passes: the log holds only the location line, quoted, with one trailing
// backslash, and nothing sounds.
TEST_F(MainFolderValidationTest, ValidFolderWritesOnlyTheLocationLine) {
  view.log = "earlier text";
  EXPECT_TRUE(kz::ValidateMainFolder(view, folder.c_str()));
  EXPECT_EQ(view.log, "Location of the main folder of Kestrome : \"" + folder + "\\\"");
  EXPECT_TRUE(view.beeps.empty());
}

// A folder given with a trailing backslash is shown with exactly one.
TEST_F(MainFolderValidationTest, TrailingBackslashIsNotDoubled) {
  EXPECT_TRUE(kz::ValidateMainFolder(view, (folder + "\\").c_str()));
  EXPECT_EQ(view.log, "Location of the main folder of Kestrome : \"" + folder + "\\\"");
}

// No main folder: "Unknown" unquoted, then message 1014, and the hand beep.
TEST_F(MainFolderValidationTest, EmptyFolderReportsUnknown) {
  EXPECT_FALSE(kz::ValidateMainFolder(view, ""));
  EXPECT_EQ(view.log, std::string("Location of the main folder of Kestrome : Unknown") +
                          kz::strings::lookup(kz::strings::kErrorNoMainFolder));
  EXPECT_EQ(view.beeps, std::vector<uint32_t>{0x10});
}

// A folder that lacks "scenes.set", the last one tested, fails with message 1015; so does one
// that does not exist at all. A second run leaves only its own text.
TEST_F(MainFolderValidationTest, MissingSubfolderReportsCorruption) {
  std::filesystem::remove(dir.path() / "Kestrome/scenes.set");
  EXPECT_FALSE(kz::ValidateMainFolder(view, folder.c_str()));
  EXPECT_FALSE(kz::ValidateMainFolder(view, dir.file("nowhere").c_str()));
  EXPECT_EQ(view.log, "Location of the main folder of Kestrome : \"" + dir.file("nowhere") + "\\\"" +
                          kz::strings::lookup(kz::strings::kErrorCorruptMainFolder));
  EXPECT_EQ(view.beeps, (std::vector<uint32_t>{0x10, 0x10}));
}

// The texts without a dialog, as kz6 check prints them: the location line for each state and the
// error that follows it (none for a valid folder).
TEST_F(MainFolderValidationTest, TextsWithoutADialog) {
  EXPECT_EQ(kz::MainFolderLocationLine("", kz::MainFolderState::NotChosen),
            "Location of the main folder of Kestrome : Unknown");
  EXPECT_EQ(kz::MainFolderLocationLine("C:\\", kz::MainFolderState::NotProduct),
            "Location of the main folder of Kestrome : \"C:\\\"");
  EXPECT_EQ(kz::MainFolderError(kz::MainFolderState::Valid), nullptr);
  EXPECT_STREQ(kz::MainFolderError(kz::MainFolderState::NotChosen), kz::strings::lookup(kz::strings::kErrorNoMainFolder));
  EXPECT_STREQ(kz::MainFolderError(kz::MainFolderState::NotProduct),
               kz::strings::lookup(kz::strings::kErrorCorruptMainFolder));
}

}  // namespace
