// kz6 pack's threads, its --best mode and its capacity check, on real trees, read back by the
// updater's own extraction.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>

#include "package/extract_package.h"
#include "package/package_area.h"
#include "support/form_fixtures.h"
#include "support/gzip_fixtures.h"
#include "support/temp_dir.h"
#include "support/tool_run.h"

namespace kz {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::readFileBytes;
using test::shellQuoted;
using test::writeFileBytes;

// Entry path to stored (compressed) size, from kz6 list.
std::map<std::string, uint64_t> storedSizes(const std::string& listing) {
  std::map<std::string, uint64_t> sizes;
  std::istringstream lines(listing);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    std::string path, attributes, day, time;
    uint64_t stored = 0;
    fields >> path >> attributes >> day >> time >> stored;
    sizes[path] = stored;
  }
  return sizes;
}

class Kz6Pack : public ::testing::Test {
 protected:
  test::ToolRun kz6(const std::string& args) { return test::runKz6(dir, args); }
  std::string q(const fs::path& p) { return shellQuoted(p.string()); }
  test::ToolRun pack(const fs::path& tree, const std::string& form, const std::string& options) {
    return kz6("pack " + q(tree) + " -o " + q(dir.path() / form) + " " + options);
  }

  // Files of many sizes and kinds, more of them than any thread count tried.
  void writeMixedTree(const fs::path& root) {
    for (int i = 0; i < 11; ++i) {
      const fs::path folder = root / (i % 2 ? "bin" : "misc.set/hlpfiles");
      fs::create_directories(folder);
      const size_t size = (static_cast<size_t>(i) * 37 + 5) * 311;
      Bytes content = i % 3 == 0 ? test::randomBytes(size, static_cast<uint32_t>(i))
                                 : i % 3 == 1 ? test::textBytes(size, static_cast<uint32_t>(i))
                                              : test::runBytes(size, static_cast<uint32_t>(i));
      writeFileBytes(folder / ("file" + std::to_string(i) + ".bin"), content);
    }
    writeFileBytes(root / "empty.txt", {});
  }

  // Extracts a form file with the updater's own extraction; true when it succeeds.
  bool extractWithUpdater(const fs::path& form, const fs::path& into) {
    const Bytes bytes = readFileBytes(form);
    fs::create_directories(into);
    return extractForm(bytes.data(), static_cast<uint32_t>(bytes.size()), into.c_str());
  }

  void expectSameFiles(const fs::path& a, const fs::path& b) {
    ASSERT_EQ(test::treeOf(a), test::treeOf(b));
    for (const auto& entry : fs::recursive_directory_iterator(a)) {
      if (!entry.is_regular_file()) continue;
      const fs::path rel = fs::relative(entry.path(), a);
      EXPECT_EQ(readFileBytes(entry.path()), readFileBytes(b / rel)) << rel;
    }
  }

  test::TempDir dir;
};

// The form is the same bytes whatever the number of threads, and the updater reads it back.
TEST_F(Kz6Pack, SameFormForAnyNumberOfThreads) {
  const fs::path tree = dir.path() / "tree";
  writeMixedTree(tree);
  const test::ToolRun one = pack(tree, "one.kz6", "--jobs 1");
  ASSERT_EQ(one.exitCode, 0) << one.err;
  const Bytes reference = readFileBytes(dir.path() / "one.kz6");
  ASSERT_EQ(reference.size(), kInternalBufferSize);
  for (const char* jobs : {"--jobs 2", "--jobs 7", "-j 3", ""}) {
    const test::ToolRun r = pack(tree, "many.kz6", jobs);
    ASSERT_EQ(r.exitCode, 0) << jobs << ": " << r.err;
    EXPECT_TRUE(readFileBytes(dir.path() / "many.kz6") == reference) << jobs;
  }
  ASSERT_TRUE(extractWithUpdater(dir.path() / "one.kz6", dir.path() / "out"));
  expectSameFiles(tree, dir.path() / "out");

  EXPECT_NE(kz6("pack " + q(tree) + " -o " + q(dir.path() / "x.kz6") + " --jobs 0").exitCode, 0);
  EXPECT_FALSE(fs::exists(dir.path() / "x.kz6"));
}

// --best keeps, per member, the smaller of libdeflate's and Zopfli's output: no member grows,
// text shrinks, and the updater's own extraction reads every member back.
TEST_F(Kz6Pack, BestIsNeverLargerAndReadsBack) {
  const fs::path tree = dir.path() / "tree";
  fs::create_directories(tree / "bin");
  writeFileBytes(tree / "bin/help.txt", test::textBytes(60000, 3));
  writeFileBytes(tree / "bin/runs.dat", test::runBytes(40000, 5));
  writeFileBytes(tree / "bin/noise.dat", test::randomBytes(20000, 7));
  writeFileBytes(tree / "bin/tiny.txt", test::textOf("a"));
  writeFileBytes(tree / "empty", {});

  ASSERT_EQ(pack(tree, "default.kz6", "--no-pad").exitCode, 0);
  const test::ToolRun best = pack(tree, "best.kz6", "--no-pad --best --jobs 2");
  ASSERT_EQ(best.exitCode, 0) << best.err;
  EXPECT_NE(best.out.find("Zopfli gave the smaller member for "), std::string::npos) << best.out;

  const auto plain = storedSizes(kz6("list " + q(dir.path() / "default.kz6")).out);
  const auto smallest = storedSizes(kz6("list " + q(dir.path() / "best.kz6")).out);
  ASSERT_EQ(plain.size(), 5u);
  ASSERT_EQ(smallest.size(), plain.size());
  for (const auto& [path, size] : plain) EXPECT_LE(smallest.at(path), size) << path;
  EXPECT_LT(smallest.at("bin\\help.txt"), plain.at("bin\\help.txt"));
  EXPECT_LT(fs::file_size(dir.path() / "best.kz6"), fs::file_size(dir.path() / "default.kz6"));

  ASSERT_TRUE(extractWithUpdater(dir.path() / "best.kz6", dir.path() / "out"));
  expectSameFiles(tree, dir.path() / "out");
  EXPECT_EQ(kz6("verify " + q(dir.path() / "best.kz6")).out, "5 entries verified\n");

  // Zopfli's choice does not depend on the threads either.
  ASSERT_EQ(pack(tree, "best1.kz6", "--no-pad --best --jobs 1").exitCode, 0);
  EXPECT_TRUE(readFileBytes(dir.path() / "best1.kz6") == readFileBytes(dir.path() / "best.kz6"));
}

// A tree that does not fit names exactly how many bytes are over and writes nothing, not even over
// an existing form; one that fits exactly reports no room left.
TEST_F(Kz6Pack, CapacityIsCheckedToTheByte) {
  const fs::path tree = dir.path() / "tree";
  writeMixedTree(tree);
  ASSERT_EQ(pack(tree, "content.kz6", "--no-pad").exitCode, 0);
  const auto needed = static_cast<uint32_t>(fs::file_size(dir.path() / "content.kz6"));
  ASSERT_EQ(needed % 2, 0u);  // forms are always of even size

  const Bytes standing = test::textOf("an older form");
  writeFileBytes(dir.path() / "out.kz6", standing);
  const auto before = test::treeOf(dir.path());
  const test::ToolRun over = pack(tree, "out.kz6", "--capacity " + std::to_string(needed - 10));
  EXPECT_NE(over.exitCode, 0);
  EXPECT_NE(over.err.find(": 10 bytes over"), std::string::npos) << over.err;
  EXPECT_NE(over.err.find("the tree needs " + std::to_string(needed) + " bytes"), std::string::npos) << over.err;
  EXPECT_EQ(over.out, "");
  EXPECT_EQ(test::treeOf(dir.path()), before);
  EXPECT_EQ(readFileBytes(dir.path() / "out.kz6"), standing);

  const test::ToolRun exact = pack(tree, "out.kz6", "--capacity " + std::to_string(needed));
  ASSERT_EQ(exact.exitCode, 0) << exact.err;
  EXPECT_NE(exact.out.find(", 0 bytes left of the " + std::to_string(needed) + "-byte capacity"), std::string::npos)
      << exact.out;
  EXPECT_EQ(fs::file_size(dir.path() / "out.kz6"), needed);

  const test::ToolRun roomy = pack(tree, "out.kz6", "--capacity " + std::to_string(needed + 1000));
  ASSERT_EQ(roomy.exitCode, 0) << roomy.err;
  EXPECT_NE(roomy.out.find(", 1000 bytes left of the "), std::string::npos) << roomy.out;
  EXPECT_EQ(fs::file_size(dir.path() / "out.kz6"), needed + 1000);
}

// Progress goes to standard error only when it is a terminal: never into a build log.
TEST_F(Kz6Pack, ShowsProgressOnlyOnATerminal) {
  const fs::path tree = dir.path() / "tree";
  writeMixedTree(tree);
  const test::ToolRun piped = pack(tree, "piped.kz6", "--jobs 2");
  ASSERT_EQ(piped.exitCode, 0) << piped.err;
  EXPECT_EQ(piped.err, "");
  if (std::system("command -v script >/dev/null 2>&1") != 0) GTEST_SKIP() << "no script command to give a terminal";
  // script runs the tool on a pseudo-terminal and copies what it shows into the typescript file.
  const std::string inner = std::string(KZ6_EXE) + " pack " + q(tree) + " -o " + q(dir.path() / "tty.kz6") + " --jobs 2";
  const test::ToolRun onTerminal =
      test::runTool(dir, "script -qec " + shellQuoted(inner) + " " + q(dir.path() / "typescript"));
  ASSERT_EQ(onTerminal.exitCode, 0) << onTerminal.err;
  const Bytes shown = readFileBytes(dir.path() / "typescript");
  const std::string screen(shown.begin(), shown.end());
  EXPECT_NE(screen.find("compressed 12/12 files"), std::string::npos) << screen;
  EXPECT_NE(screen.find("\rkz6: compressed 1/12 files"), std::string::npos) << screen;
  EXPECT_TRUE(readFileBytes(dir.path() / "tty.kz6") == readFileBytes(dir.path() / "piped.kz6"));
}

}  // namespace
}  // namespace kz
