// Moving a file into place: missing folders created, an existing file replaced, and across file
// systems a copy that keeps contents, attributes and times.
#include "platform/shell_move.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "install/copy_files.h"
#include "platform/files.h"
#include "platform/posix/posix_move.h"
#include "support/temp_dir.h"

namespace {

using kz::platform::nativeFileSystem;

int64_t modifiedSeconds(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? st.st_mtim.tv_sec : -1;
}

// The destination names the file: its missing folders are created and the source is gone.
TEST(MoveFileIntoPlace, CreatesMissingFoldersOnTheWay) {
  kz::test::TempDir dir;
  kz::test::writeFileBytes(dir.file("new.chm"), {7});
  const std::string to = dir.path().string() + "\\misc.set\\hlpfiles\\app01\\app01_help.chm";
  EXPECT_TRUE(kz::MoveFileIntoPlace(dir.file("new.chm").c_str(), to.c_str(), nullptr));
  EXPECT_EQ(kz::test::readFileBytes(dir.path() / "misc.set/hlpfiles/app01/app01_help.chm"), std::vector<uint8_t>{7});
  EXPECT_FALSE(std::filesystem::exists(dir.file("new.chm")));
}

// An existing file, read-only included, is replaced by the moved one.
TEST(MoveFileIntoPlace, ReplacesAnExistingFile) {
  kz::test::TempDir dir;
  kz::test::writeFileBytes(dir.file("old"), {1});
  ASSERT_TRUE(nativeFileSystem().setFileAttributes(dir.file("old").c_str(), kz::platform::kAttrReadOnly));
  kz::test::writeFileBytes(dir.file("new"), {2});
  EXPECT_TRUE(kz::MoveFileIntoPlace(dir.file("new").c_str(), dir.file("old").c_str(), nullptr));
  EXPECT_EQ(kz::test::readFileBytes(dir.file("old")), std::vector<uint8_t>{2});
}

// A source that does not exist, or an empty name, fails and creates nothing.
TEST(MoveFileIntoPlace, MissingSourceFails) {
  kz::test::TempDir dir;
  EXPECT_FALSE(kz::MoveFileIntoPlace(dir.file("none").c_str(), dir.file("sub/x").c_str(), nullptr));
  EXPECT_FALSE(std::filesystem::exists(dir.file("sub")));
  EXPECT_FALSE(kz::MoveFileIntoPlace("", dir.file("x").c_str(), nullptr));
}

// An empty source or destination never reaches the shell, whose operation would read an empty
// name list; the move fails.
TEST(MoveFileIntoPlace, EmptyNamesNeverReachTheShell) {
  struct Counting : kz::platform::ShellMover {
    int calls = 0;
    bool moveFile(const char*, const char*, void*) override {
      ++calls;
      return true;
    }
  } counting;
  kz::platform::ScopedShellMover scope(counting);
  EXPECT_FALSE(kz::MoveFileIntoPlace("", "C:\\K\\bin\\x.dll", nullptr));
  EXPECT_FALSE(kz::MoveFileIntoPlace("C:\\W\\x.dll", "", nullptr));
  EXPECT_EQ(counting.calls, 0);
  // Names that are there reach the shell; a shell that answers success without moving anything is
  // not believed.
  EXPECT_FALSE(kz::MoveFileIntoPlace("C:\\W\\x.dll", "C:\\K\\bin\\x.dll", nullptr));
  EXPECT_EQ(counting.calls, 1);
}

// Across file systems the move copies contents, permissions, kept attributes and the write time,
// then removes the source (/dev/shm is a separate file system here).
TEST(MoveFileIntoPlace, CopiesAcrossFileSystemsKeepingAttributesAndTimes) {
  if (!std::filesystem::is_directory("/dev/shm")) GTEST_SKIP() << "no second file system";
  kz::test::TempDir dir;
  const std::string source = "/dev/shm/kz-move-" + std::to_string(getpid());
  kz::test::writeFileBytes(source, {1, 2, 3, 4});
  ASSERT_TRUE(nativeFileSystem().setFileTime(source.c_str(), 1000000000));
  ASSERT_TRUE(nativeFileSystem().setFileAttributes(source.c_str(), kz::platform::kAttrReadOnly));
  const uint32_t attributes = nativeFileSystem().fileAttributes(source.c_str());
  const std::string target = dir.file("bin/moved.dll");
  ASSERT_TRUE(kz::platform::posixMove(source, target));
  EXPECT_FALSE(std::filesystem::exists(source));
  EXPECT_EQ(kz::test::readFileBytes(target), (std::vector<uint8_t>{1, 2, 3, 4}));
  EXPECT_EQ(nativeFileSystem().fileAttributes(target.c_str()), attributes);
  EXPECT_EQ(modifiedSeconds(target), 1000000000);
}

// The cross-device copy leaves no partial file behind when it cannot finish.
TEST(MoveFileIntoPlace, FailedCopyLeavesNothingBehind) {
  kz::test::TempDir dir;
  kz::test::writeFileBytes(dir.file("src"), {9});
  EXPECT_FALSE(kz::platform::copyThenDelete(dir.file("src"), dir.file("no-folder/dst")));
  EXPECT_TRUE(std::filesystem::exists(dir.file("src")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("no-folder")));
}

// Forced delete removes read-only files and counts a missing file as deleted.
TEST(DeleteFileForced, RemovesReadOnlyAndAcceptsMissing) {
  kz::test::TempDir dir;
  kz::test::writeFileBytes(dir.file("ro"), {1});
  ASSERT_TRUE(nativeFileSystem().setFileAttributes(dir.file("ro").c_str(), kz::platform::kAttrReadOnly));
  EXPECT_TRUE(kz::DeleteFileForced(dir.file("ro").c_str()));
  EXPECT_FALSE(std::filesystem::exists(dir.file("ro")));
  EXPECT_TRUE(kz::DeleteFileForced(dir.file("never").c_str()));
}

}  // namespace
