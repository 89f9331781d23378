// Main-folder validation: the location line, the two error texts, the beep and the sub-folder test.
#include "install/main_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/string_table.h"
#include "support/product_fixtures.h"
#include "support/temp_dir.h"

namespace {

// Records what the validation writes and sounds.
struct LogDialog final : kz::InstallDialog {
  std::string log;
  std::vector<uint32_t> beeps;
  void AppendLog(const char* text, bool replace) override { log = (replace ? "" : log) + text; }
  void Beep(uint32_t type) override { beeps.push_back(type); }
  void EnableButton(int, bool) override { ADD_FAILURE() << "validation changed a button"; }
  std::string ButtonCaption(int) override { return ""; }
  void SetButtonCaption(int, const char*) override { ADD_FAILURE() << "validation changed a caption"; }
  void FocusButton(int) override { ADD_FAILURE() << "validation moved the focus"; }
  void* OwnerWindow() override { return nullptr; }
};

struct MainFolderTest : ::testing::Test {
  kz::test::TempDir dir;
  std::string folder = (dir.path() / "Kestrome").string();
  void SetUp() override {
    for (const char* sub : kz::test::kDataFolders) std::filesystem::create_directories(dir.path() / "Kestrome" / sub);
  }
};

// A complete main folder passes: the log holds only the location line, quoted, with one trailing
// backslash, and nothing sounds.
TEST_F(MainFolderTest, ValidFolderWritesOnlyTheLocationLine) {
  LogDialog dialog;
  dialog.log = "earlier text";
  EXPECT_TRUE(kz::ValidateMainFolder(dialog, folder.c_str()));
  EXPECT_EQ(dialog.log, "Location of the main folder of Kestrome : \"" + folder + "\\\"");
  EXPECT_TRUE(dialog.beeps.empty());
}

// A folder given with a trailing backslash is shown with exactly one.
TEST_F(MainFolderTest, TrailingBackslashIsNotDoubled) {
  LogDialog dialog;
  EXPECT_TRUE(kz::ValidateMainFolder(dialog, (folder + "\\").c_str()));
  EXPECT_EQ(dialog.log, "Location of the main folder of Kestrome : \"" + folder + "\\\"");
}

// No main folder: "Unknown" unquoted, then message 1014, and the hand beep.
TEST_F(MainFolderTest, EmptyFolderReportsUnknown) {
  LogDialog dialog;
  EXPECT_FALSE(kz::ValidateMainFolder(dialog, ""));
  EXPECT_EQ(dialog.log, std::string("Location of the main folder of Kestrome : Unknown") +
                            kz::strings::lookup(kz::strings::kErrorNoMainFolder));
  EXPECT_EQ(dialog.beeps, std::vector<uint32_t>{0x10});
}

// A folder that lacks "scenes.set", the last one tested, fails with message 1015; so does one
// that does not exist at all. A second run leaves only its own text.
TEST_F(MainFolderTest, MissingSubfolderReportsCorruption) {
  std::filesystem::remove(dir.path() / "Kestrome/scenes.set");
  LogDialog dialog;
  EXPECT_FALSE(kz::ValidateMainFolder(dialog, folder.c_str()));
  EXPECT_FALSE(kz::ValidateMainFolder(dialog, dir.file("nowhere").c_str()));
  EXPECT_EQ(dialog.log, "Location of the main folder of Kestrome : \"" + dir.file("nowhere") + "\\\"" +
                            kz::strings::lookup(kz::strings::kErrorCorruptMainFolder));
  EXPECT_EQ(dialog.beeps, (std::vector<uint32_t>{0x10, 0x10}));
}

// The sub-folder test accepts files of the right names, skips the three newer folders for
// versions before 6.0, and refuses a folder whose sub-folder paths would not fit.
TEST_F(MainFolderTest, SubfolderTestRules) {
  std::filesystem::remove(dir.path() / "Kestrome/anim");
  kz::test::writeFileBytes(dir.path() / "Kestrome/anim", {1});
  EXPECT_TRUE(kz::ProductSubfoldersPresent(folder.c_str(), 6.0));
  for (const char* newer : {"bin", "fonts", "app_data"}) std::filesystem::remove_all(dir.path() / "Kestrome" / newer);
  EXPECT_FALSE(kz::ProductSubfoldersPresent(folder.c_str(), 6.0));
  EXPECT_TRUE(kz::ProductSubfoldersPresent(folder.c_str(), 5.5));
  EXPECT_FALSE(kz::ProductSubfoldersPresent(std::string(255, 'x').c_str(), 6.0));
}

}  // namespace
