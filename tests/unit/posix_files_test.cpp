// The POSIX stand-in for the Win32 file services: paths, attributes, times, names, moves.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <cstring>
#include <filesystem>
#include <set>
#include <string>

#include "platform/files.h"
#include "support/temp_dir.h"

namespace kz::platform {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

FileSystem& files() { return nativeFileSystem(); }

// Backslash-separated relative paths name the same files as slash-separated ones.
TEST(PosixFiles, BackslashesSeparateComponents) {
  TempDir dir;
  const fs::path before = fs::current_path();
  ASSERT_TRUE(files().setCurrentDirectory(dir.path().string().c_str()));
  EXPECT_TRUE(files().createDirectory("a"));
  EXPECT_TRUE(files().createDirectory("a\\b"));
  std::FILE* f = files().openFile("a\\b\\c.txt", "wb");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  EXPECT_TRUE(fs::exists(dir.path() / "a/b/c.txt"));
  EXPECT_TRUE(files().pathExists("a\\b\\c.txt"));
  EXPECT_FALSE(files().createDirectory("a\\b"));  // exists already, as CreateDirectoryA reports
  EXPECT_FALSE(files().deleteFile("a\\b"));       // a folder is no file
  EXPECT_TRUE(files().deleteFile("a\\b\\c.txt"));
  EXPECT_FALSE(files().pathExists("a\\b\\c.txt"));
  fs::current_path(before);
}

// The current directory comes back whole, or as the size needed when the buffer is too small.
TEST(PosixFiles, CurrentDirectoryLengthConvention) {
  const std::string cwd = fs::current_path().string();
  char big[4096];
  EXPECT_EQ(files().currentDirectory(big, sizeof big), cwd.size());
  EXPECT_EQ(std::string(big), cwd);
  char small[2];
  EXPECT_EQ(files().currentDirectory(small, sizeof small), cwd.size() + 1);
}

// Read-only is the owner's write permission, both ways; a folder reports the folder bit.
TEST(PosixFiles, ReadOnlyMapsToWritePermission) {
  TempDir dir;
  const std::string path = dir.file("f");
  test::writeFileBytes(path, {1});
  EXPECT_EQ(files().fileAttributes(path.c_str()) & kAttrReadOnly, 0u);
  ASSERT_TRUE(files().setFileAttributes(path.c_str(), kAttrReadOnly));
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH), 0u);
  EXPECT_NE(files().fileAttributes(path.c_str()) & kAttrReadOnly, 0u);
  ASSERT_TRUE(files().setFileAttributes(path.c_str(), kAttrNormal));
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_NE(st.st_mode & S_IWUSR, 0u);
  EXPECT_EQ(files().fileAttributes(path.c_str()), kAttrNormal);
  EXPECT_NE(files().fileAttributes(dir.path().string().c_str()) & kAttrDirectory, 0u);
  EXPECT_EQ(files().fileAttributes(dir.file("none").c_str()), kInvalidAttributes);
  EXPECT_FALSE(files().setFileAttributes(dir.file("none").c_str(), kAttrReadOnly));
  // A link is described itself, as a reparse point without size, not the file it points at.
  fs::create_symlink(path, dir.file("link"));
  FileInfo info;
  ASSERT_TRUE(files().fileInfo(dir.file("link").c_str(), info));
  EXPECT_EQ(info.attributes, kAttrReparsePoint);
  EXPECT_EQ(info.size, 0u);
}

// Hidden, system and archive read back as they were set, kept in a user extended attribute.
TEST(PosixFiles, KeepsHiddenSystemArchiveInAnExtendedAttribute) {
  TempDir dir;
  const std::string path = dir.file("f");
  test::writeFileBytes(path, {1});
  uint32_t probe = 0;
  if (setxattr(path.c_str(), "user.kz.probe", &probe, sizeof probe, 0) != 0) {
    GTEST_SKIP() << "the temporary folder's file system keeps no user attributes";
  }
  ASSERT_TRUE(files().setFileAttributes(path.c_str(), 0x27));
  EXPECT_EQ(files().fileAttributes(path.c_str()), 0x27u);
  ASSERT_TRUE(files().setFileAttributes(path.c_str(), kAttrArchive));
  EXPECT_EQ(files().fileAttributes(path.c_str()), kAttrArchive);
  FileInfo info;
  ASSERT_TRUE(files().fileInfo(path.c_str(), info));
  EXPECT_EQ(info.attributes, kAttrArchive);
  EXPECT_EQ(info.size, 1u);
}

// The file time sets last-access and last-write together.
TEST(PosixFiles, SetsBothTimes) {
  TempDir dir;
  const std::string path = dir.file("f");
  test::writeFileBytes(path, {1});
  ASSERT_TRUE(files().setFileTime(path.c_str(), 1234567890));
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, 1234567890);
  EXPECT_EQ(st.st_atime, 1234567890);
  EXPECT_FALSE(files().setFileTime(dir.file("none").c_str(), 0));
}

// Temporary names are new empty files: prefix, hex digits, ".TMP", never the same twice.
TEST(PosixFiles, TempFileNamesAreUniqueEmptyFiles) {
  TempDir dir;
  std::set<std::string> names;
  for (int i = 0; i < 20; ++i) {
    char out[260] = {};
    ASSERT_NE(files().tempFileName(dir.path().string().c_str(), "~KMextra", out), 0u);
    const std::string name = fs::path(out).filename().string();
    EXPECT_EQ(name.substr(0, 3), "~KM");
    EXPECT_EQ(name.substr(name.size() - 4), ".TMP");
    EXPECT_EQ(fs::file_size(out), 0u);
    names.insert(out);
  }
  EXPECT_EQ(names.size(), 20u);
  char out[260];
  EXPECT_EQ(files().tempFileName(dir.file("none").c_str(), "~KM", out), 0u);
}

// A move replaces an existing destination and creates missing folders on the way.
TEST(PosixFiles, MoveReplacesAndCreatesFolders) {
  TempDir dir;
  test::writeFileBytes(dir.file("a"), {1});
  test::writeFileBytes(dir.file("b"), {2});
  EXPECT_TRUE(files().moveFile(dir.file("a").c_str(), dir.file("b").c_str()));
  EXPECT_EQ(test::readFileBytes(dir.file("b")), (std::vector<uint8_t>{1}));
  EXPECT_FALSE(fs::exists(dir.file("a")));
  EXPECT_TRUE(files().moveFile(dir.file("b").c_str(), dir.file("x/y/b").c_str()));
  EXPECT_TRUE(fs::exists(dir.file("x/y/b")));
  EXPECT_FALSE(files().moveFile(dir.file("none").c_str(), dir.file("c").c_str()));
}

// Two spellings of one file are the same file; two files with equal bytes are not.
TEST(PosixFiles, SameFileComparesIdentity) {
  TempDir dir;
  test::writeFileBytes(dir.file("a"), {1});
  test::writeFileBytes(dir.file("b"), {1});
  EXPECT_TRUE(files().sameFile(dir.file("a").c_str(), (dir.path() / "." / "a").string().c_str()));
  EXPECT_FALSE(files().sameFile(dir.file("a").c_str(), dir.file("b").c_str()));
  EXPECT_FALSE(files().sameFile(dir.file("a").c_str(), dir.file("none").c_str()));
}

// The temporary folder ends in a separator and exists.
TEST(PosixFiles, TempPathEndsInASeparator) {
  char out[260];
  const uint32_t length = files().tempPath(out, sizeof out);
  ASSERT_GT(length, 0u);
  EXPECT_EQ(out[length - 1], '/');
  EXPECT_TRUE(files().pathExists(out));
}

}  // namespace
}  // namespace kz::platform
