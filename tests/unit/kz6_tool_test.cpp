// The kz6 host tool end to end: pack, list, verify, extract, merge and header on real trees.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

#include "package/package_area.h"
#include "package/package_header.h"
#include "support/form_fixtures.h"
#include "support/gzip_fixtures.h"
#include "support/temp_dir.h"
#include "support/tool_run.h"

namespace kz {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::readFileBytes;
using test::writeFileBytes;

using test::ToolRun;

int64_t mtimeOf(const fs::path& p) {
  struct stat st {};
  return stat(p.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_mtime) : -1;
}

class Kz6Tool : public ::testing::Test {
 protected:
  void SetUp() override {
    // A space and a quote in the tree's path: every path reaches the tool through the shell.
    tree = dir.path() / "the maker's tree";
    fs::create_directories(tree / "bin");
    fs::create_directories(tree / "misc.set/hlpfiles/app01");
    writeFileBytes(tree / "bin/kestrome.exe", test::systemBinaryBytes(400000));
    writeFileBytes(tree / "misc.set/hlpfiles/app01/app01.chm", test::textBytes(250000, 9));
    writeFileBytes(tree / "empty.txt", {});
    writeFileBytes(tree / "bin/locked.dll", test::randomBytes(5001, 4));
    fs::permissions(tree / "bin/locked.dll", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    struct timeval times[2] = {{1500000001, 0}, {1500000001, 0}};
    utimes((tree / "bin/kestrome.exe").c_str(), times);
  }
  static std::string q(const fs::path& p) { return test::shellQuoted(p.string()); }

  test::TempDir dir;
  fs::path tree;
};

// A tree packed and extracted again has the same files, bytes, even-second times and read-only bits.
TEST_F(Kz6Tool, PackThenExtractRoundTrips) {
  const fs::path form = dir.path() / "p.kz6";
  ASSERT_EQ(test::runKz6(dir, "pack " + q(tree) + " -o " + q(form)).exitCode, 0);
  EXPECT_EQ(fs::file_size(form), kInternalBufferSize);
  const ToolRun ex = test::runKz6(dir, "extract " + q(form) + " -C " + q(dir.path() / "out"));
  ASSERT_EQ(ex.exitCode, 0) << ex.err;
  EXPECT_EQ(test::treeOf(dir.path() / "out"), test::treeOf(tree));
  for (const char* f : {"bin/kestrome.exe", "misc.set/hlpfiles/app01/app01.chm", "empty.txt", "bin/locked.dll"}) {
    EXPECT_EQ(readFileBytes(dir.path() / "out" / f), readFileBytes(tree / f)) << f;
    EXPECT_EQ(mtimeOf(dir.path() / "out" / f), mtimeOf(tree / f) & ~int64_t{1}) << f;
  }
  EXPECT_EQ(mtimeOf(dir.path() / "out/bin/kestrome.exe"), 1500000000);
  EXPECT_EQ(fs::status(dir.path() / "out/bin/locked.dll").permissions() & fs::perms::owner_write, fs::perms::none);
  EXPECT_NE(fs::status(dir.path() / "out/empty.txt").permissions() & fs::perms::owner_write, fs::perms::none);
}

// list prints one sorted line per entry with attributes, UTC time and both sizes.
TEST_F(Kz6Tool, ListsEveryEntry) {
  const fs::path form = dir.path() / "p.kz6";
  ASSERT_EQ(test::runKz6(dir, "pack " + q(tree) + " -o " + q(form) + " --no-pad").exitCode, 0);
  const ToolRun r = test::runKz6(dir, "list " + q(form));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::istringstream lines(r.out);
  std::vector<std::string> got;
  for (std::string line; std::getline(lines, line);) got.push_back(line);
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[0].rfind("bin\\kestrome.exe  0x00000020  2017-07-14 02:40:00  ", 0), 0u) << got[0];
  EXPECT_TRUE(got[0].ends_with("  400000")) << got[0];
  EXPECT_EQ(got[1].rfind("bin\\locked.dll  0x00000021  ", 0), 0u) << got[1];
  EXPECT_EQ(got[2].rfind("empty.txt  0x00000020  ", 0), 0u) << got[2];
  EXPECT_TRUE(got[2].ends_with("  0")) << got[2];
  EXPECT_EQ(got[3].rfind("misc.set\\hlpfiles\\app01\\app01.chm  0x00000020  ", 0), 0u) << got[3];
}

// verify accepts a sound form and names the entry whose member is damaged, writing nothing.
TEST_F(Kz6Tool, VerifyFindsADamagedMember) {
  const fs::path form = dir.path() / "p.kz6";
  ASSERT_EQ(test::runKz6(dir, "pack " + q(tree) + " -o " + q(form)).exitCode, 0);
  const ToolRun ok = test::runKz6(dir, "verify " + q(form));
  EXPECT_EQ(ok.exitCode, 0) << ok.err;
  EXPECT_EQ(ok.out, "4 entries verified\n");

  Bytes bytes = readFileBytes(form);
  const Bytes firstMember = test::textOf("bin\\kestrome.exe");
  const auto at = std::search(bytes.begin(), bytes.end(), firstMember.begin(), firstMember.end());
  ASSERT_NE(at, bytes.end());
  *(at + 2000) ^= 0x40;  // inside the first entry's deflate data
  writeFileBytes(form, bytes);
  const auto before = test::treeOf(dir.path());
  const ToolRun bad = test::runKz6(dir, "verify " + q(form));
  EXPECT_NE(bad.exitCode, 0);
  EXPECT_EQ(bad.err.rfind("kz6: bin\\kestrome.exe: ", 0), 0u) << bad.err;
  EXPECT_EQ(std::count(bad.err.begin(), bad.err.end(), '\n'), 1);
  EXPECT_EQ(test::treeOf(dir.path()), before);
}

// A tree larger than the capacity is refused with the size it needs, and no file is written.
TEST_F(Kz6Tool, TooLargeTreeNamesTheSizeNeeded) {
  const ToolRun r = test::runKz6(dir, "pack " + q(tree) + " -o " + q(dir.path() / "p.kz6") + " --capacity 10000");
  EXPECT_NE(r.exitCode, 0);
  EXPECT_NE(r.err.find("the tree needs "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("capacity is 10000 bytes"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir.path() / "p.kz6"));
}

// The members are the package's own kind of gzip member: flags 0, time 0, xfl 0, OS 11.
TEST_F(Kz6Tool, MembersCarryThePackageHeaderFields) {
  const fs::path form = dir.path() / "p.kz6";
  ASSERT_EQ(test::runKz6(dir, "pack " + q(tree) + " -o " + q(form) + " --no-pad").exitCode, 0);
  const Bytes bytes = readFileBytes(form);
  const Bytes body = test::textOf("BODY");
  int members = 0;
  for (auto at = std::search(bytes.begin(), bytes.end(), body.begin(), body.end()); at != bytes.end();
       at = std::search(at + 1, bytes.end(), body.begin(), body.end())) {
    const Bytes head(at + 8, at + 18);
    EXPECT_EQ(head, (Bytes{0x1F, 0x8B, 8, 0, 0, 0, 0, 0, 0, 11}));
    ++members;
  }
  EXPECT_GE(members, 4);
}

// merge writes the updater with the form in its area; the result lists, extracts and runs.
TEST_F(Kz6Tool, MergeIntoAnUpdaterAndExtractFromIt) {
  const fs::path form = dir.path() / "p.kz6";
  const fs::path merged = dir.path() / "kaem_update611";
  ASSERT_EQ(test::runKz6(dir, "pack " + q(tree) + " -o " + q(form)).exitCode, 0);
  const ToolRun m = test::runKz6(dir, "merge " + q(PROBE_EXE) + " " + q(form) + " -o " + q(merged));
  ASSERT_EQ(m.exitCode, 0) << m.err;
  uint32_t probeAt = 0;
  uint32_t mergedAt = 0;
  ASSERT_EQ(findPackageHeader(PROBE_EXE, probeAt), PackageHeaderStatus::Ok);
  ASSERT_EQ(findPackageHeader(merged.c_str(), mergedAt), PackageHeaderStatus::Ok);
  EXPECT_EQ(mergedAt, probeAt);
  EXPECT_EQ(test::runKz6(dir, "header " + q(merged)).exitCode, 0);
  EXPECT_EQ(test::runKz6(dir, "verify " + q(merged)).out, "4 entries verified\n");

  // The merged program extracts its own image, as the updater does at install time.
  fs::permissions(merged, fs::perms::owner_exec, fs::perm_options::add);
  const fs::path out = dir.path() / "self";
  fs::create_directory(out);
  ASSERT_EQ(test::runTool(dir, q(merged) + " " + q(out)).exitCode, 0);
  EXPECT_EQ(readFileBytes(out / "bin/kestrome.exe"), readFileBytes(tree / "bin/kestrome.exe"));

  // A form of the wrong size is refused before anything is written.
  writeFileBytes(dir.path() / "short.kz6", Bytes(100, 0));
  const ToolRun bad = test::runKz6(dir, "merge " + q(PROBE_EXE) + " " + q(dir.path() / "short.kz6") + " -o " + q(dir.path() / "x"));
  EXPECT_NE(bad.exitCode, 0);
  EXPECT_FALSE(fs::exists(dir.path() / "x"));
}

// A program without a package area, or with an empty one, is refused in one line.
TEST_F(Kz6Tool, RefusesFilesWithoutAPackage) {
  writeFileBytes(dir.path() / "plain", Bytes(1000, 7));
  const ToolRun none = test::runKz6(dir, "list " + q(dir.path() / "plain"));
  EXPECT_NE(none.exitCode, 0);
  EXPECT_EQ(std::count(none.err.begin(), none.err.end(), '\n'), 1);
  const ToolRun empty = test::runKz6(dir, "extract " + q(PROBE_EXE) + " -C " + q(dir.path() / "o"));
  EXPECT_NE(empty.exitCode, 0);
  EXPECT_NE(empty.err.find("no package"), std::string::npos) << empty.err;
}

// header prints the search's code, a number the maker reads: 2 for a file it cannot read, 5
// without a marker, 6 with two of them.
TEST_F(Kz6Tool, HeaderPrintsTheSearchCode) {
  const auto marker = packageHeaderMarker();
  Bytes twice(1000, 7);
  std::copy(marker.begin(), marker.end(), twice.begin() + 100);
  std::copy(marker.begin(), marker.end(), twice.begin() + 600);
  writeFileBytes(dir.path() / "twice", twice);
  writeFileBytes(dir.path() / "plain", Bytes(1000, 7));
  const struct {
    const char* file;
    const char* out;
  } cases[] = {{"missing", "code: 2\n"}, {"plain", "code: 5\n"}, {"twice", "code: 6\n"}};
  for (const auto& c : cases) {
    const ToolRun r = test::runKz6(dir, "header " + q(dir.path() / c.file));
    EXPECT_EQ(r.out, c.out) << c.file;
    EXPECT_EQ(r.exitCode, 1) << c.file;
  }
}

// gunzip decodes what the gzip and zip commands produce: a gzip member with a stored name, a
// deflated zip entry with a data descriptor (zip writing to a pipe), and a stored zip entry.
TEST_F(Kz6Tool, GunzipDecodesGzipAndZipOutput) {
  const fs::path input = tree / "bin/kestrome.exe";
  const std::string in = q(input);
  ASSERT_EQ(std::system(("gzip -9 -c " + in + " > " + q(dir.file("a.gz"))).c_str()), 0);
  ASSERT_EQ(std::system(("zip -q -9 -fz- - " + in + " | cat > " + q(dir.file("piped.zip"))).c_str()), 0);
  ASSERT_EQ(std::system(("zip -q -0 -j " + q(dir.file("stored.zip")) + " " + in).c_str()), 0);
  for (const char* name : {"a.gz", "piped.zip", "stored.zip"}) {
    const ToolRun r = test::runKz6(dir, "gunzip " + q(dir.file(name)) + " -o " + q(dir.file("out.bin")));
    EXPECT_EQ(r.exitCode, 0) << name << ": " << r.err;
    EXPECT_TRUE(readFileBytes(dir.file("out.bin")) == readFileBytes(input)) << name;
  }
}

// gunzip refuses damaged members with one line naming the reason, and leaves no output behind.
TEST_F(Kz6Tool, GunzipRefusesDamagedMembersLeavingNothing) {
  const Bytes member = test::zlibGzip(test::textBytes(50000, 2), 6, 0);
  struct Damage {
    const char* reason;
    Bytes bytes;
  };
  Bytes crc = member;
  crc[crc.size() - 8] ^= 1;
  Bytes length = member;
  length[length.size() - 1] ^= 1;
  Bytes cut(member.begin(), member.end() - 3);
  Bytes headerCrc = member;
  headerCrc[3] = 0x02;
  Bytes format = member;
  format[10] = 0xFF;  // first block: type 3
  for (const Damage& d : {Damage{"crc error", crc}, Damage{"length error", length},
                          Damage{"input ends inside the member", cut}, Damage{"header refused", headerCrc},
                          Damage{"format violated", format}}) {
    writeFileBytes(dir.file("bad.gz"), d.bytes);
    writeFileBytes(dir.file("out.bin"), {1, 2, 3});  // a file already standing there goes too
    const ToolRun r = test::runKz6(dir, "gunzip " + q(dir.file("bad.gz")) + " -o " + q(dir.file("out.bin")));
    EXPECT_NE(r.exitCode, 0) << d.reason;
    EXPECT_NE(r.err.find(d.reason), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_FALSE(fs::exists(dir.file("out.bin"))) << d.reason;
  }
}

}  // namespace
}  // namespace kz
