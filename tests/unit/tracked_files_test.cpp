// The tracked-file table: its paths, and what gathering finds on each side of a row.
#include "install/tracked_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "support/header_fixtures.h"
#include "support/pe_fixtures.h"
#include "support/product_fixtures.h"
#include "support/temp_dir.h"

namespace {

using kz::makeVersion;
using kz::TrackedKind;

// The 23 product files this update replaces, written out here rather than taken from the table
// under test: relative path, kind and the help row replaced with the row.
struct ExpectedRow {
  const char* path;
  TrackedKind kind;
  int helpRow;
};

constexpr TrackedKind L = TrackedKind::Library;
constexpr TrackedKind A = TrackedKind::Application;
constexpr TrackedKind T = TrackedKind::Tool;
constexpr TrackedKind H = TrackedKind::Help;
constexpr int kNone = -1;

const ExpectedRow kExpectedRows[23] = {
    {"bin\\lib01.dll", L, kNone},
    {"bin\\lib02.dll", L, kNone},
    {"bin\\lib03.dll", L, kNone},
    {"bin\\app01.exe", A, 16},
    {"bin\\app02.exe", A, 17},
    {"bin\\app03.exe", A, 18},
    {"bin\\app04.exe", A, 19},
    {"bin\\app05.exe", A, 20},
    {"bin\\app06.exe", A, 21},
    {"bin\\tool01.exe", T, kNone},
    {"bin\\tool02.exe", T, kNone},
    {"bin\\tool03.exe", T, kNone},
    {"bin\\tool04.exe", T, 22},
    {"bin\\tool05.exe", T, kNone},
    {"bin\\tool06.exe", T, kNone},
    {"bin\\tool07.exe", T, kNone},
    {"misc.set\\hlpfiles\\app01\\app01_help.chm", H, kNone},
    {"misc.set\\hlpfiles\\app02\\app02_help.chm", H, kNone},
    {"misc.set\\hlpfiles\\app03\\app03_help.chm", H, kNone},
    {"misc.set\\hlpfiles\\app04\\app04_help.chm", H, kNone},
    {"misc.set\\hlpfiles\\app05\\app05_help.chm", H, kNone},
    {"misc.set\\hlpfiles\\app06\\app06_help.chm", H, kNone},
    {"misc.set\\hlpfiles\\tool04\\tool04_help.chm", H, kNone},
};

// Every row, in order, with its path, kind and help row.
TEST(TrackedRows, AreTheTwentyThreeProductFiles) {
  ASSERT_EQ(kz::kTrackedFileCount, 23);
  for (int i = 0; i < 23; ++i) {
    EXPECT_STREQ(kz::kTrackedRows[i].relativePath, kExpectedRows[i].path) << "row " << i;
    EXPECT_EQ(kz::kTrackedRows[i].kind, kExpectedRows[i].kind) << "row " << i;
    EXPECT_EQ(kz::kTrackedRows[i].helpRow, kExpectedRows[i].helpRow) << "row " << i;
  }
}

// Each of the 23 files, written at its literal path as a PE file with a version resource and a
// header inside, is found at that path: a version is read for libraries, applications and
// tools, a header only for applications, and nothing but existence for help files.
TEST(GatherInfo, EveryLiteralPathByItsKind) {
  kz::test::TempDir dir;
  for (int i = 0; i < 23; ++i) {
    std::string native = kExpectedRows[i].path;
    std::replace(native.begin(), native.end(), '\\', '/');
    const std::filesystem::path path = dir.path() / native;
    std::filesystem::create_directories(path.parent_path());
    kz::test::PeOptions options;
    options.productVersion = makeVersion(6, 9, 2, static_cast<uint16_t>(100 + i));
    options.payload.assign(64, 0xCC);
    kz::PackageHeader header = kz::test::sampleHeader();
    header.productNumber = 40 + i;
    kz::test::placeHeader(options.payload, 64, header);
    const kz::test::PeFile pe = kz::test::buildPeFile(options);
    kz::test::writeFileBytes(path, pe.bytes);
  }
  kz::TrackedFileTable table{};
  ASSERT_TRUE(kz::BuildTrackedFileTable(table, "M", dir.path().c_str()));
  kz::GatherNewInfo(table);
  for (int i = 0; i < 23; ++i) {
    const TrackedKind kind = kExpectedRows[i].kind;
    EXPECT_STREQ(table[i].installedPath, ("M\\" + std::string(kExpectedRows[i].path)).c_str()) << "row " << i;
    EXPECT_TRUE(table[i].newExists) << "row " << i;
    EXPECT_EQ(table[i].newVersion, kind == H ? 0 : makeVersion(6, 9, 2, static_cast<uint16_t>(100 + i))) << "row " << i;
    EXPECT_EQ(table[i].newHeaderFound, kind == A) << "row " << i;
    EXPECT_EQ(table[i].newHeader.productNumber, kind == A ? 40 + i : 0) << "row " << i;
    EXPECT_EQ(table[i].newHeaderOffset != 0, kind == A) << "row " << i;
  }
}

// Folders with and without a trailing backslash give exactly one between folder and file.
TEST(BuildTrackedFileTable, JoinsWithOneBackslash) {
  kz::TrackedFileTable table{};
  ASSERT_TRUE(kz::BuildTrackedFileTable(table, "D:\\", "C:\\Temp\\~KM1.TMP"));
  EXPECT_STREQ(table[0].installedPath, "D:\\bin\\lib01.dll");
  EXPECT_STREQ(table[0].newPath, "C:\\Temp\\~KM1.TMP\\bin\\lib01.dll");
  EXPECT_STREQ(table[22].installedPath, "D:\\misc.set\\hlpfiles\\tool04\\tool04_help.chm");
}

// Rebuilding clears every flag and gathered value of an earlier attempt.
TEST(BuildTrackedFileTable, ClearsEarlierAttempt) {
  kz::TrackedFileTable table{};
  table[3].copy = table[3].installedExists = table[3].newHeaderFound = true;
  table[3].newVersion = 42;
  table[3].newHeader.installValue1 = 5;
  kz::BuildTrackedFileTable(table, "D:\\K", "W");
  EXPECT_FALSE(table[3].copy || table[3].installedExists || table[3].newHeaderFound);
  EXPECT_EQ(table[3].newVersion, 0u);
  EXPECT_EQ(table[3].newHeader.installValue1, 0u);
}

// A path that does not fit is left empty rather than cut or left pointing at the folder itself.
TEST(BuildTrackedFileTable, TooLongPathIsLeftEmpty) {
  kz::TrackedFileTable table{};
  const std::string longFolder(240, 'x');
  EXPECT_FALSE(kz::BuildTrackedFileTable(table, longFolder.c_str(), "W"));
  EXPECT_STREQ(table[22].installedPath, "");
  EXPECT_STREQ(table[22].newPath, "W\\misc.set\\hlpfiles\\tool04\\tool04_help.chm");
}

// Gathering a product: versions of libraries, applications and tools, headers and their offsets
// for applications, existence only for help files, and nothing for missing files.
TEST(GatherInfo, ReadsVersionsHeadersAndExistence) {
  kz::test::TempDir dir;
  kz::test::ProductLayout layout = kz::test::installedProduct(9);
  layout.files[1].present = false;
  layout.files[2].version.reset();
  layout.files[4].header.reset();
  kz::test::writeProduct(dir.path(), layout);
  kz::TrackedFileTable table{};
  kz::BuildTrackedFileTable(table, dir.path().c_str(), "W");
  kz::GatherInstalledInfo(table);

  EXPECT_TRUE(table[0].installedExists);
  EXPECT_EQ(table[0].installedVersion, makeVersion(6, 9, 2, 111));
  EXPECT_FALSE(table[1].installedExists);
  EXPECT_EQ(table[1].installedVersion, 0u);
  EXPECT_TRUE(table[2].installedExists);
  EXPECT_EQ(table[2].installedVersion, 0u);

  uint32_t offset = 0;
  kz::test::productFileBytes(3, layout.files[3], &offset);
  EXPECT_TRUE(table[3].installedHeaderFound);
  EXPECT_EQ(table[3].installedHeaderOffset, offset);
  EXPECT_EQ(table[3].installedHeader.installValue1, 5u);
  EXPECT_EQ(table[3].installedHeader.productNumber, 1);

  EXPECT_FALSE(table[4].installedHeaderFound);
  EXPECT_EQ(table[4].installedHeaderOffset, 0u);
  EXPECT_EQ(kz::encodePackageHeader(table[4].installedHeader), kz::encodePackageHeader(kz::PackageHeader{}));

  EXPECT_TRUE(table[16].installedExists);
  EXPECT_EQ(table[16].installedVersion, 0u);
  EXPECT_FALSE(table[0].newExists);  // the new side was not gathered
}

// An application whose marker occurs twice gets an all-zero header, as one without any.
TEST(GatherInfo, TwoMarkersCountAsNoHeader) {
  kz::test::TempDir dir;
  kz::test::ProductLayout layout = kz::test::updateFiles();
  kz::test::writeProduct(dir.path(), layout);
  const auto path = kz::test::productPath(dir.path(), "bin\\app02.exe");
  std::vector<uint8_t> bytes = kz::test::readFileBytes(path);
  kz::test::placeHeader(bytes, static_cast<uint32_t>(bytes.size()), layout.files[4].header.value());
  kz::test::writeFileBytes(path, bytes);
  kz::TrackedFileTable table{};
  kz::BuildTrackedFileTable(table, "M", dir.path().c_str());
  kz::GatherNewInfo(table);
  EXPECT_TRUE(table[4].newExists);
  EXPECT_FALSE(table[4].newHeaderFound);
  EXPECT_EQ(table[4].newHeaderOffset, 0u);
  EXPECT_EQ(table[4].newHeader.productNumber, 0);
  EXPECT_TRUE(table[3].newHeaderFound);
}

}  // namespace
