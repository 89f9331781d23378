// The copy step's file operations, each judged by its effect: a path is absent only when two
// queries agree, a move is one when the destination is there and the source is not, a deletion
// when the file is gone, and a file's identity is its size and CRC-32.
#include "install/file_operations.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/shell_move.h"
#include "support/temp_dir.h"

namespace {

using kz::platform::nativeFileSystem;

// One query fails or lies: the other still tells the path is there.
TEST(IsPresent, AbsentOnlyWhenBothQueriesAgree) {
  kz::test::TempDir dir;
  kz::test::writeFileBytes(dir.file("f"), {1});
  struct Queries final : kz::platform::ForwardingFileSystem {
    using ForwardingFileSystem::ForwardingFileSystem;
    bool attributesFail = false;
    bool existsFails = false;
    uint32_t fileAttributes(const char* path) override {
      return attributesFail ? kz::platform::kInvalidAttributes : ForwardingFileSystem::fileAttributes(path);
    }
    bool pathExists(const char* path) override { return !existsFails && ForwardingFileSystem::pathExists(path); }
  } queries{nativeFileSystem()};
  kz::platform::ScopedFileSystem scoped(queries);
  for (const auto& [attributesFail, existsFails] : {std::pair{false, false}, {true, false}, {false, true}}) {
    queries.attributesFail = attributesFail;
    queries.existsFails = existsFails;
    EXPECT_TRUE(kz::IsPresent(dir.file("f").c_str())) << attributesFail << existsFails;
    EXPECT_TRUE(kz::IsPresent(dir.path().c_str())) << attributesFail << existsFails;
    EXPECT_FALSE(kz::IsPresent(dir.file("none").c_str())) << attributesFail << existsFails;
  }
  queries.attributesFail = queries.existsFails = true;
  EXPECT_FALSE(kz::IsPresent(dir.file("f").c_str()));
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

// Forced delete removes read-only files and counts a missing file as deleted.
TEST(DeleteFileForced, RemovesReadOnlyAndAcceptsMissing) {
  kz::test::TempDir dir;
  kz::test::writeFileBytes(dir.file("ro"), {1});
  ASSERT_TRUE(nativeFileSystem().setFileAttributes(dir.file("ro").c_str(), kz::platform::kAttrReadOnly));
  EXPECT_TRUE(kz::DeleteFileForced(dir.file("ro").c_str()));
  EXPECT_FALSE(std::filesystem::exists(dir.file("ro")));
  EXPECT_TRUE(kz::DeleteFileForced(dir.file("never").c_str()));
}

// A deletion that reports success but leaves the file is no deletion.
TEST(DeleteFileForced, JudgesByTheFileBeingGone) {
  kz::test::TempDir dir;
  const std::string path = dir.file("f.dll");
  kz::test::writeFileBytes(path, {1, 2});
  ASSERT_TRUE(nativeFileSystem().setFileAttributes(path.c_str(), kz::platform::kAttrReadOnly));
  struct Pretends final : kz::platform::ForwardingFileSystem {
    using ForwardingFileSystem::ForwardingFileSystem;
    bool deleteFile(const char*) override { return true; }
  } pretends{nativeFileSystem()};
  {
    kz::platform::ScopedFileSystem scoped(pretends);
    EXPECT_FALSE(kz::DeleteFileForced(path.c_str()));
  }
  EXPECT_TRUE(kz::DeleteFileForced(path.c_str()));
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_TRUE(kz::DeleteFileForced(path.c_str()));  // never there counts as gone
}

// An empty folder goes and a missing one counts as gone; one that holds a file stays.
TEST(RemoveFolder, GoneWhenRemovedOrNeverThere) {
  kz::test::TempDir dir;
  std::filesystem::create_directories(dir.path() / "empty");
  std::filesystem::create_directories(dir.path() / "full");
  kz::test::writeFileBytes(dir.file("full/f"), {1});
  EXPECT_TRUE(kz::RemoveFolder(dir.file("empty").c_str()));
  EXPECT_FALSE(std::filesystem::exists(dir.file("empty")));
  EXPECT_TRUE(kz::RemoveFolder(dir.file("never").c_str()));
  EXPECT_FALSE(kz::RemoveFolder(dir.file("full").c_str()));
  EXPECT_TRUE(std::filesystem::exists(dir.file("full/f")));
}

// The size and CRC-32 of the bytes on the disk; a file that cannot be opened has none.
TEST(ReadFileIdentity, SizeAndCrcOfTheFile) {
  kz::test::TempDir dir;
  kz::test::writeFileBytes(dir.file("check"), {'1', '2', '3', '4', '5', '6', '7', '8', '9'});
  uint32_t size = 0;
  uint32_t crc = 0;
  ASSERT_TRUE(kz::ReadFileIdentity(dir.file("check").c_str(), size, crc));
  EXPECT_EQ(size, 9u);
  EXPECT_EQ(crc, 0xCBF43926u);
  kz::test::writeFileBytes(dir.file("empty"), {});
  ASSERT_TRUE(kz::ReadFileIdentity(dir.file("empty").c_str(), size, crc));
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(crc, 0u);
  EXPECT_FALSE(kz::ReadFileIdentity(dir.file("none").c_str(), size, crc));
}

}  // namespace
