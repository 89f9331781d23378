// The path service: the POSIX stand-in's byte rules for the shell's path helpers, and the walks
// over a path's characters, which must follow the service's idea of a character.
#include "platform/path_service.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "package/form_format.h"
#include "support/double_byte_paths.h"

namespace kz::platform {
namespace {

using Buffer = char[kMaxPath];

// What op leaves of path in a buffer of the service's size.
template <typename Op>
std::string after(const char* path, Op op) {
  Buffer buffer = {};
  std::strcpy(buffer, path);
  op(buffer);
  return buffer;
}

std::string appended(const char* path, const char* more, bool expected = true) {
  return after(path, [&](char* b) { EXPECT_EQ(nativePathService().append(b, more), expected) << path << " + " << more; });
}
std::string withBackslash(const char* path) {
  return after(path, [&](char* b) { EXPECT_TRUE(nativePathService().addBackslash(b)) << path; });
}
std::string withoutBackslash(const char* path) {
  return after(path, [](char* b) { nativePathService().removeBackslash(b); });
}
std::string withoutFileSpec(const char* path) {
  return after(path, [](char* b) { nativePathService().removeFileSpec(b); });
}
std::string renamed(const char* path, const char* extension) {
  return after(path, [&](char* b) { EXPECT_TRUE(nativePathService().renameExtension(b, extension)) << path; });
}

// A path of exactly length characters.
std::string ofLength(size_t length) { return std::string(length, 'x'); }

TEST(PosixPathService, AppendJoinsWithOneSeparator) {
  EXPECT_EQ(appended("C:\\Kestrome", "bin\\lib01.dll"), "C:\\Kestrome\\bin\\lib01.dll");
  EXPECT_EQ(appended("C:\\", "bin"), "C:\\bin");
  EXPECT_EQ(appended("/tmp/work/", "bin"), "/tmp/work/bin");
  EXPECT_EQ(appended("C:\\Kestrome", "\\\\bin"), "C:\\Kestrome\\bin");
  EXPECT_EQ(appended("", "bin"), "bin");
}

TEST(PosixPathService, AppendRefusesAResultThatDoesNotFitAndKeepsThePath) {
  const std::string base = ofLength(250);
  EXPECT_EQ(appended(base.c_str(), "12345678"), base + "\\12345678");  // 259 characters
  EXPECT_EQ(appended(base.c_str(), "123456789", false), base);         // 260 would not fit
}

TEST(PosixPathService, AddBackslashOnceAndOnlyWithRoom) {
  EXPECT_EQ(withBackslash("C:\\a"), "C:\\a\\");
  EXPECT_EQ(withBackslash("C:\\a\\"), "C:\\a\\");
  EXPECT_EQ(withBackslash("/tmp/"), "/tmp/");
  EXPECT_EQ(withBackslash(""), "");
  EXPECT_EQ(withBackslash(ofLength(258).c_str()), ofLength(258) + "\\");
  Buffer full = {};
  std::strcpy(full, ofLength(259).c_str());
  EXPECT_FALSE(nativePathService().addBackslash(full));
  EXPECT_EQ(std::string(full), ofLength(259));
}

TEST(PosixPathService, RemoveBackslashKeepsRoots) {
  EXPECT_EQ(withoutBackslash("C:\\Kestrome\\"), "C:\\Kestrome");
  EXPECT_EQ(withoutBackslash("C:\\Kestrome\\\\"), "C:\\Kestrome\\");  // one at a time
  EXPECT_EQ(withoutBackslash("C:\\Kestrome"), "C:\\Kestrome");
  EXPECT_EQ(withoutBackslash("C:\\"), "C:\\");
  EXPECT_EQ(withoutBackslash("\\"), "\\");
  EXPECT_EQ(withoutBackslash(""), "");
}

TEST(PosixPathService, RemoveFileSpecKeepsTheRootsSeparator) {
  EXPECT_EQ(withoutFileSpec("C:\\dir\\target.exe"), "C:\\dir");
  EXPECT_EQ(withoutFileSpec("C:\\target.exe"), "C:\\");
  EXPECT_EQ(withoutFileSpec("C:\\"), "C:\\");
  EXPECT_EQ(withoutFileSpec("C:target.exe"), "C:");
  EXPECT_EQ(withoutFileSpec("\\target.exe"), "\\");
  EXPECT_EQ(withoutFileSpec("/tmp/x/target.exe"), "/tmp/x");
  EXPECT_EQ(withoutFileSpec("/target.exe"), "/");
  EXPECT_EQ(withoutFileSpec("target.exe"), "");
  EXPECT_EQ(withoutFileSpec("C:\\dir\\a.b"), "C:\\dir");
  EXPECT_EQ(withoutFileSpec("C:\\dir\\"), "C:\\dir");
}

TEST(PosixPathService, RenameExtensionOfTheLastComponentOnly) {
  EXPECT_EQ(renamed("a\\app01_help.chm", ".hlp"), "a\\app01_help.hlp");
  EXPECT_EQ(renamed("a.set\\readme", ".gid"), "a.set\\readme.gid");
  EXPECT_EQ(renamed("name", ".x"), "name.x");
  Buffer full = {};
  std::strcpy(full, (ofLength(256) + ".c").c_str());
  EXPECT_FALSE(nativePathService().renameExtension(full, ".long"));
  EXPECT_EQ(std::string(full), ofLength(256) + ".c");
}

TEST(PosixPathService, WalksOneByteAtATime) {
  EXPECT_TRUE(endsWithBackslash("C:\\a\\"));
  EXPECT_FALSE(endsWithBackslash("C:\\a"));
  EXPECT_FALSE(endsWithBackslash(""));
  EXPECT_EQ(parentCut("a\\b\\c.txt"), 3u);
  EXPECT_EQ(parentCut("a/b"), 1u);
  EXPECT_EQ(parentCut("C:x"), 2u);
  EXPECT_EQ(parentCut("C:\\x"), 2u);
  EXPECT_EQ(parentCut("name"), 0u);
  const char entry[] = "bin\\lib01.dll";
  EXPECT_EQ(componentEnd(entry), entry + 3);
  EXPECT_EQ(componentEnd(entry + 4), entry + 13);
}

using kz::test::DoubleBytePathService;

// "表" in code page 932 is 0x95 0x5C: its second byte is no separator to any walk of the core.
TEST(PathWalks, ReadTheSecondByteOfADoubleByteCharacterAsPartOfIt) {
  DoubleBytePathService doubleByte;
  ScopedPathService scoped(doubleByte);
  EXPECT_FALSE(endsWithBackslash("C:\\e2e\\\x95\x5C"));
  EXPECT_TRUE(endsWithBackslash("C:\\e2e\\\x95\x5C\\"));
  EXPECT_EQ(parentCut("C:\\\x95\x5C"), 2u);
  EXPECT_EQ(parentCut("\x95\x5C\\name"), 2u);
  const char entry[] = "\x83\x5C\\b";
  EXPECT_EQ(componentEnd(entry), entry + 2);
  // An entry whose one component ends in such a byte is one safe component, not an empty second.
  EXPECT_TRUE(isSafeEntryPath("bin\\\x83\x5C"));
  EXPECT_FALSE(isSafeEntryPath("bin\\\x83\x5C\\"));
}

TEST(PathWalks, FollowTheProcessWideService) {
  EXPECT_TRUE(endsWithBackslash("C:\\e2e\\\x95\x5C"));  // byte rules: the last byte is a backslash
  {
    DoubleBytePathService doubleByte;
    ScopedPathService scoped(doubleByte);
    EXPECT_EQ(&pathService(), &doubleByte);
  }
  EXPECT_EQ(&pathService(), &nativePathService());
}

}  // namespace
}  // namespace kz::platform
