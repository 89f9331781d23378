// The POSIX stand-in's shell move: across file systems a copy that keeps contents, attributes and
// times, and nothing left behind when the copy cannot finish. (MoveFileIntoPlace's own tests are
// in file_operations_test.)
#include "platform/shell_move.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/files.h"
#include "platform/posix/posix_move.h"
#include "support/temp_dir.h"

namespace {

using kz::platform::nativeFileSystem;

int64_t modifiedSeconds(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? st.st_mtim.tv_sec : -1;
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

}  // namespace
