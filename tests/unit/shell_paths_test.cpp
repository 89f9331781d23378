// The shell-style path joins on 260-byte buffers: what they produce, and that a result which does
// not fit leaves the path as it was.
#include "install/shell_paths.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using kz::platform::kMaxPath;

struct Path {
  explicit Path(const std::string& text) { EXPECT_TRUE(kz::paths::assign(buffer, text.c_str())); }
  char buffer[kMaxPath] = {};
};

// A backslash is added once (the POSIX stand-in takes a trailing slash as the separator it is
// there), and only while the buffer has room for it.
TEST(ShellPaths, AddBackslash) {
  for (auto [in, out] : {std::pair{"C:\\K", "C:\\K\\"}, {"C:\\K\\", "C:\\K\\"}, {"a/", "a/"}}) {
    Path p(in);
    EXPECT_TRUE(kz::paths::addBackslash(p.buffer)) << in;
    EXPECT_STREQ(p.buffer, out) << in;
  }
  Path full(std::string(258, 'x'));
  EXPECT_TRUE(kz::paths::addBackslash(full.buffer));
  EXPECT_EQ(std::string(full.buffer), std::string(258, 'x') + "\\");
  Path noRoom(std::string(259, 'x'));
  EXPECT_FALSE(kz::paths::addBackslash(noRoom.buffer));
  EXPECT_EQ(std::string(noRoom.buffer), std::string(259, 'x'));
}

// The extension of the last component is replaced, or added when it has none; a dot in a folder
// name does not count. A result that does not fit is refused and the path kept.
TEST(ShellPaths, RenameExtension) {
  for (auto [in, out] : {std::pair{"h\\app01_help.chm", "h\\app01_help.hlp"}, {"h\\noext", "h\\noext.hlp"},
                         {"misc.set\\x", "misc.set\\x.hlp"}, {"a.b.chm", "a.b.hlp"}, {"C:x", "C:x.hlp"}}) {
    Path p(in);
    EXPECT_TRUE(kz::paths::renameExtension(p.buffer, ".hlp")) << in;
    EXPECT_STREQ(p.buffer, out) << in;
  }
  Path fits(std::string(251, 'x') + ".chm");  // 255 characters; 255 after the rename
  EXPECT_TRUE(kz::paths::renameExtension(fits.buffer, ".hlp"));
  EXPECT_EQ(std::string(fits.buffer), std::string(251, 'x') + ".hlp");
  Path exact(std::string(255, 'x'));  // 259 characters after the rename: the most that fits
  EXPECT_TRUE(kz::paths::renameExtension(exact.buffer, ".hlp"));
  EXPECT_EQ(std::string(exact.buffer), std::string(255, 'x') + ".hlp");
  for (size_t length : {256u, 258u, 259u}) {
    const std::string text(length, 'x');
    Path tooLong(text);
    EXPECT_FALSE(kz::paths::renameExtension(tooLong.buffer, ".hlp")) << length;
    EXPECT_EQ(std::string(tooLong.buffer), text) << length;
  }
}

// Joins insert one backslash where needed and refuse what would not fit.
TEST(ShellPaths, AppendAndAssignRefuseOverflow) {
  Path p("D:\\");
  EXPECT_TRUE(kz::paths::append(p.buffer, "bin\\lib01.dll"));
  EXPECT_STREQ(p.buffer, "D:\\bin\\lib01.dll");
  Path q("W");
  EXPECT_TRUE(kz::paths::append(q.buffer, "\\x"));
  EXPECT_STREQ(q.buffer, "W\\x");
  Path almost(std::string(257, 'x'));
  EXPECT_TRUE(kz::paths::append(almost.buffer, "y"));  // 259 characters with the backslash
  Path over(std::string(257, 'x'));
  EXPECT_FALSE(kz::paths::append(over.buffer, "yz"));
  EXPECT_EQ(std::string(over.buffer), std::string(257, 'x'));
  char buffer[kMaxPath] = "keep";
  EXPECT_FALSE(kz::paths::assign(buffer, std::string(260, 'z').c_str()));
  EXPECT_STREQ(buffer, "keep");
  EXPECT_TRUE(kz::paths::assign(buffer, std::string(259, 'z').c_str()));
}

// A join is the base with the relative path appended; one that does not fit is refused.
TEST(ShellPaths, JoinRefusesOverflow) {
  char out[kMaxPath] = "keep";
  EXPECT_TRUE(kz::paths::join(out, "C:\\K", "bin\\lib01.dll"));
  EXPECT_STREQ(out, "C:\\K\\bin\\lib01.dll");
  EXPECT_TRUE(kz::paths::join(out, std::string(257, 'x').c_str(), "y"));
  EXPECT_FALSE(kz::paths::join(out, std::string(257, 'x').c_str(), "yz"));
  EXPECT_EQ(std::string(out), std::string(257, 'x'));
  EXPECT_FALSE(kz::paths::join(out, std::string(260, 'x').c_str(), "y"));
  EXPECT_EQ(std::string(out), std::string(257, 'x'));
}

}  // namespace
