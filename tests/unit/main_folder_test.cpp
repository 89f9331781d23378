// Main-folder validation: the sub-folder test and the verdict it gives.
#include "install/main_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/product_fixtures.h"
#include "support/temp_dir.h"

namespace {

struct MainFolderTest : ::testing::Test {
  kz::test::TempDir dir;
  std::string folder = (dir.path() / "Kestrome").string();
  void SetUp() override {
    for (const char* sub : kz::test::kDataFolders) std::filesystem::create_directories(dir.path() / "Kestrome" / sub);
  }
};

// The validation's verdict, without a dialog: valid, no folder chosen, or not a product (a
// missing sub-folder, or no folder there at all).
TEST_F(MainFolderTest, CheckReportsTheState) {
  EXPECT_EQ(kz::CheckMainFolder(folder.c_str()), kz::MainFolderState::Valid);
  EXPECT_EQ(kz::CheckMainFolder((folder + "\\").c_str()), kz::MainFolderState::Valid);
  EXPECT_EQ(kz::CheckMainFolder(""), kz::MainFolderState::NotChosen);
  EXPECT_EQ(kz::CheckMainFolder(dir.file("nowhere").c_str()), kz::MainFolderState::NotProduct);
  std::filesystem::remove(dir.path() / "Kestrome/scenes.set");
  EXPECT_EQ(kz::CheckMainFolder(folder.c_str()), kz::MainFolderState::NotProduct);
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
