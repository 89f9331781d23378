// The temporary folder, the work folder, and the folder helpers used for entry paths.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "package/folders.h"
#include "package/work_folder.h"
#include "platform/admin_folders.h"
#include "platform/files.h"
#include "support/recording_files.h"
#include "support/temp_dir.h"

namespace kz {
namespace {

namespace fs = std::filesystem;

// A file service whose Windows folder and temporary path are chosen by the test, and which notes
// the current directory at the moment the temporary path is asked for.
class FakeFolders : public platform::ForwardingFileSystem {
 public:
  FakeFolders() : ForwardingFileSystem(platform::nativeFileSystem()) {}
  // Both the Windows folder and the temporary path in folder (the latter with a separator).
  explicit FakeFolders(const fs::path& folder) : FakeFolders() {
    windows = folder.string();
    temp = folder.string() + "/";
  }
  std::string windows;
  std::string temp;
  std::string cwdAtTempQuery;
  bool failCurrentDirectory = false;

  uint32_t windowsDirectory(char* b, uint32_t s) override { return copy(windows, b, s); }
  uint32_t tempPath(char* b, uint32_t s) override {
    cwdAtTempQuery = fs::current_path().string();
    return copy(temp, b, s);
  }
  uint32_t currentDirectory(char* b, uint32_t s) override {
    return failCurrentDirectory ? 0 : inner_.currentDirectory(b, s);
  }

 private:
  static uint32_t copy(const std::string& v, char* b, uint32_t s) {
    if (v.size() + 1 > s) return static_cast<uint32_t>(v.size() + 1);
    std::memcpy(b, v.c_str(), v.size() + 1);
    return static_cast<uint32_t>(v.size());
  }
};

// The temporary path is asked for with the Windows folder current, then the directory is restored.
TEST(SystemTempFolder, AsksWithTheWindowsFolderCurrent) {
  test::TempDir dir;
  const fs::path before = fs::current_path();
  FakeFolders fake;
  fake.windows = (dir.path() / "win").string();
  fake.temp = (dir.path() / "tmp").string();
  fs::create_directory(fake.windows);
  fs::create_directory(fake.temp);
  platform::ScopedFileSystem scope(fake);
  char out[260];
  ASSERT_TRUE(systemTempFolder(out));
  EXPECT_EQ(std::string(out), fake.temp + "\\");
  EXPECT_EQ(fake.cwdAtTempQuery, fake.windows);
  EXPECT_EQ(fs::current_path(), before);
}

// A temporary path that does not exist is replaced by the Windows folder.
TEST(SystemTempFolder, FallsBackToTheWindowsFolder) {
  test::TempDir dir;
  FakeFolders fake;
  fake.windows = dir.path().string();
  fake.temp = (dir.path() / "missing").string() + "/";
  platform::ScopedFileSystem scope(fake);
  char out[260];
  ASSERT_TRUE(systemTempFolder(out));
  EXPECT_EQ(std::string(out), fake.windows + "\\");
}

// Every failed condition gives false and an empty string.
TEST(SystemTempFolder, FailuresLeaveAnEmptyString) {
  test::TempDir dir;
  const std::string here = dir.path().string();
  const struct {
    const char* name;
    std::string windows;
    std::string temp;
    bool failCurrentDirectory;
  } cases[] = {
      {"Windows folder of length 0", "", here, false},
      {"Windows folder cannot be made current", (dir.path() / "missing").string(), here, false},
      {"temporary path too long for 260 bytes", here, std::string(300, 'x'), false},
      {"current directory unknown", here, here, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeFolders fake;
    fake.windows = c.windows;
    fake.temp = c.temp;
    fake.failCurrentDirectory = c.failCurrentDirectory;
    platform::ScopedFileSystem scope(fake);
    char out[260] = "stale";
    EXPECT_FALSE(systemTempFolder(out));
    EXPECT_STREQ(out, "");
  }
}

// The work folder is a new "~KM....TMP" folder in the temporary folder, given with a backslash.
TEST(CreateWorkFolder, MakesAFreshFolderNamedLikeATempFile) {
  test::TempDir dir;
  FakeFolders fake(dir.path());
  platform::ScopedFileSystem scope(fake);
  char first[260];
  char second[260];
  ASSERT_TRUE(createWorkFolder(first));
  ASSERT_TRUE(createWorkFolder(second));
  EXPECT_STRNE(first, second);
  std::string path(first);
  ASSERT_EQ(path.back(), '\\');
  path.pop_back();
  EXPECT_TRUE(fs::is_directory(path));
  const std::string name = fs::path(path).filename().string();
  EXPECT_EQ(name.substr(0, 3), "~KM");
  EXPECT_EQ(name.substr(name.size() - 4), ".TMP");
  EXPECT_EQ(fs::path(path).parent_path(), dir.path());
  // Private: nothing for anyone but its owner (the stand-in for administrators only).
  const fs::perms others = fs::perms::group_all | fs::perms::others_all;
  EXPECT_EQ(fs::status(path).permissions() & others, fs::perms::none);
}

// The work folder is made private and held by its creation itself; one that cannot be made so
// gives no work folder at all (false and an empty string, never a plain folder open to everyone),
// and nothing is left behind.
TEST(CreateWorkFolder, IsMadePrivateAndHeldOrNotAtAll) {
  class AdminSeam : public platform::ForwardingAdminFolders {
   public:
    AdminSeam() : ForwardingAdminFolders(platform::nativeAdminFolders()) {}
    bool fail = false;
    std::vector<bool> heldArguments;
    bool create(const char* p, bool held) override {
      heldArguments.push_back(held);
      return !fail && inner_.create(p, held);
    }
  };
  for (const bool fail : {false, true}) {
    test::TempDir dir;
    FakeFolders fake(dir.path());
    test::RecordingFileSystem rec(fake);
    platform::ScopedFileSystem scope(rec);
    AdminSeam admin;
    admin.fail = fail;
    platform::ScopedAdminFolders adminScope(admin);
    char out[260];
    EXPECT_EQ(createWorkFolder(out), !fail);
    EXPECT_EQ(admin.heldArguments, std::vector<bool>{true}) << fail;
    EXPECT_TRUE(rec.callsOf("createDirectory").empty()) << fail << ": no folder of default security";
    EXPECT_EQ(rec.callsOf("tempFileName").size(), 1u) << fail;
    if (fail) {
      EXPECT_STREQ(out, "");
      EXPECT_TRUE(test::treeOf(dir.path()).empty());
    } else {
      deleteWorkFolder(out);
    }
  }
}

// The work folder goes with everything in it, read-only files too; a link inside is removed
// itself, and what it points at stays.
TEST(DeleteWorkFolder, RemovesEverythingButFollowsNoLink) {
  test::TempDir dir;
  FakeFolders fake(dir.path());
  platform::ScopedFileSystem scope(fake);
  char out[260];
  ASSERT_TRUE(createWorkFolder(out));
  std::string path(out);
  path.pop_back();
  const fs::path outside = dir.path() / "outside";
  fs::create_directories(outside / "deep");
  test::writeFileBytes(outside / "deep" / "keep.txt", {1});
  fs::create_directories(fs::path(path) / "bin");
  test::writeFileBytes(fs::path(path) / "bin" / "ro.dll", {2});
  fs::permissions(fs::path(path) / "bin" / "ro.dll", fs::perms::owner_read);
  fs::create_directory_symlink(outside, fs::path(path) / "bin" / "linked");
  fs::create_symlink(outside / "deep" / "keep.txt", fs::path(path) / "file-link");
  deleteWorkFolder(out);
  EXPECT_FALSE(fs::exists(fs::symlink_status(path)));
  EXPECT_EQ(test::treeOf(outside), (std::vector<std::string>{"deep/", "deep/keep.txt"}));
}

// makeParentFolders creates every missing folder of a file path and is content when they exist;
// a parent longer than a path may be is refused, with nothing made.
TEST(Folders, MakesParentsOfAFilePath) {
  test::TempDir dir;
  const std::string file = dir.path().string() + "\\one\\two\\three\\f.txt";
  EXPECT_TRUE(makeParentFolders(file.c_str()));
  EXPECT_TRUE(fs::is_directory(dir.path() / "one/two/three"));
  EXPECT_FALSE(fs::exists(dir.path() / "one/two/three/f.txt"));
  EXPECT_TRUE(makeParentFolders(file.c_str()));
  EXPECT_TRUE(makeParentFolders("bare.txt"));
  EXPECT_TRUE(makeFolders(""));
  // A parent of exactly kMaxPath characters, in components a file system accepts.
  std::string parent = dir.path().string();
  while (parent.size() + 41 <= platform::kMaxPath) parent += "\\" + std::string(40, 'x');
  parent += "\\" + std::string(platform::kMaxPath - parent.size() - 1, 'x');
  ASSERT_EQ(parent.size(), platform::kMaxPath);
  EXPECT_FALSE(makeParentFolders((parent + "\\f.txt").c_str()));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

// A folder under a plain file cannot be made, and that is reported.
TEST(Folders, ReportsAFolderThatCannotBeMade) {
  test::TempDir dir;
  test::writeFileBytes(dir.path() / "file", {1});
  EXPECT_FALSE(makeFolders((dir.path().string() + "/file/sub/deeper").c_str()));
}

// A folder with no parent part that cannot be created is reported, not taken as made.
TEST(Folders, ReportsATopFolderThatCannotBeMade) {
  test::TempDir dir;
  test::RecordingFileSystem rec;
  rec.failWhen = [](const std::string& c) { return c.rfind("createDirectory ", 0) == 0; };
  platform::ScopedFileSystem scope(rec);
  const std::string top = dir.path().string() + "/blocked";
  EXPECT_FALSE(makeFolders("blocked"));
  EXPECT_FALSE(makeParentFolders("blocked\\f.txt"));
  EXPECT_FALSE(makeFolders((top + "\\sub").c_str()));
  EXPECT_FALSE(fs::exists(top));
}

}  // namespace
}  // namespace kz
