// The compatibility test, table-driven over the version, header and help rules and the build-code
// conditions that decide which rows are examined.
#include "install/compatibility.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <set>

#include "support/header_fixtures.h"

namespace {

using kz::makeVersion;
using kz::ProductCodes;
using kz::TrackedFileTable;

constexpr uint64_t kNew = makeVersion(6, 11, 0, 111);

kz::PackageHeader header(double version, const char* code = "KAE", int32_t number = 1) {
  kz::PackageHeader h = kz::test::sampleHeader();
  h.productCode = {};
  for (size_t i = 0; i < 4 && code[i] != '\0'; ++i) h.productCode[i] = code[i];
  h.productNumber = number;
  h.productVersion = version;
  return h;
}

// Every file present on both sides at 6.09 -> 6.11 with matching headers: a table that passes.
TrackedFileTable compatibleTable() {
  TrackedFileTable t{};
  for (int i = 0; i < kz::kTrackedFileCount; ++i) {
    t[i].installedExists = t[i].newExists = true;
    t[i].installedVersion = makeVersion(6, 9, 2, 111);
    t[i].newVersion = kNew;
    if (kz::kTrackedRows[i].kind == kz::TrackedKind::Application) {
      t[i].installedHeader = header(6.09);
      t[i].newHeader = header(6.11);
      t[i].installedHeaderFound = t[i].newHeaderFound = true;
    }
  }
  return t;
}

std::set<int> copiedRows(const TrackedFileTable& t) {
  std::set<int> rows;
  for (int i = 0; i < kz::kTrackedFileCount; ++i) {
    if (t[i].copy) rows.insert(i);
  }
  return rows;
}

std::set<int> allRowsBut(std::set<int> excluded) {
  std::set<int> rows;
  for (int i = 0; i < kz::kTrackedFileCount; ++i) {
    if (excluded.count(i) == 0) rows.insert(i);
  }
  return rows;
}

struct Case {
  const char* name;
  std::function<void(TrackedFileTable&)> change;
  ProductCodes codes;
  bool passes;
  std::set<int> copied;  // rows with copy set afterwards
};

const ProductCodes kThisBuild{1, 1, 1};

// Each case changes a compatible table and states the result and the rows marked for copying.
TEST(TestCompatibility, FollowsEveryRuleAndCondition) {
  const std::set<int> all = allRowsBut({});
  const Case cases[] = {
      {"all compatible", [](TrackedFileTable&) {}, kThisBuild, true, all},
      {"minor lower installed, third ignored", [](TrackedFileTable& t) { t[0].installedVersion = makeVersion(6, 5, 3, 111); }, kThisBuild, true, all},
      {"same minor, new third lower", [](TrackedFileTable& t) { t[0].installedVersion = makeVersion(6, 11, 9, 111); }, kThisBuild, true, all},
      {"installed major higher", [](TrackedFileTable& t) { t[1].installedVersion = makeVersion(7, 0, 0, 111); }, kThisBuild, false, {0}},
      {"fourth component differs", [](TrackedFileTable& t) { t[0].newVersion = makeVersion(6, 11, 0, 211); }, kThisBuild, false, {}},
      {"installed minor higher", [](TrackedFileTable& t) { t[9].installedVersion = makeVersion(6, 12, 0, 111); }, kThisBuild, false, {0, 1, 2, 3, 4, 5, 6, 7, 8, 16, 17, 18, 19, 20, 21}},
      // The minor only counts between equal majors: a higher installed minor under a lower major
      // passes, for libraries, applications and tools alike.
      {"lower major, higher minor installed", [](TrackedFileTable& t) {
         for (int row : {0, 3, 9}) t[row].installedVersion = makeVersion(5, 12, 0, 111);
       }, kThisBuild, true, all},
      {"lower major, higher minor and third installed", [](TrackedFileTable& t) { t[15].installedVersion = makeVersion(5, 65535, 65535, 111); }, kThisBuild, true, all},
      {"higher major, lower minor installed", [](TrackedFileTable& t) { t[2].installedVersion = makeVersion(7, 1, 0, 111); }, kThisBuild, false, {0, 1}},
      {"both without version", [](TrackedFileTable& t) { t[13].installedVersion = t[13].newVersion = 0; }, kThisBuild, true, all},
      {"installed without version, new with", [](TrackedFileTable& t) { t[0].installedVersion = 0; }, kThisBuild, false, {}},
      {"installed file missing: added", [](TrackedFileTable& t) { t[10].installedExists = false; t[10].installedVersion = 0; }, kThisBuild, true, all},
      {"neither side exists: not copied", [](TrackedFileTable& t) { t[10].installedExists = t[10].newExists = false; }, kThisBuild, true, allRowsBut({10})},
      {"new file missing", [](TrackedFileTable& t) { t[2].newExists = false; }, kThisBuild, false, {0, 1}},
      {"application not installed: no header compared", [](TrackedFileTable& t) { t[3].installedExists = false; t[3].installedHeader = {}; t[3].newHeader = header(1.0, "XYZ", 99); }, kThisBuild, true, all},
      {"application not installed, its help missing", [](TrackedFileTable& t) { t[3].installedExists = false; t[16].newExists = false; }, kThisBuild, false, {0, 1, 2, 3}},
      // A row that stays uncopied leaves its help row alone: neither copied nor required.
      {"application on neither side: its help row untouched", [](TrackedFileTable& t) {
         t[5].installedExists = t[5].newExists = false;
       }, kThisBuild, true, allRowsBut({5, 18})},
      {"application on neither side, its help missing too", [](TrackedFileTable& t) {
         t[7].installedExists = t[7].newExists = false;
         t[20].newExists = false;
       }, kThisBuild, true, allRowsBut({7, 20})},
      {"tool 4 on neither side, its help missing too", [](TrackedFileTable& t) {
         t[12].installedExists = t[12].newExists = false;
         t[22].newExists = false;
       }, kThisBuild, true, allRowsBut({12, 22})},
      {"product code differs only in case", [](TrackedFileTable& t) { t[4].newHeader = header(6.11, "kae"); }, kThisBuild, true, all},
      {"product code differs", [](TrackedFileTable& t) { t[4].newHeader = header(6.11, "KAF"); }, kThisBuild, false, {0, 1, 2, 3, 16}},
      {"product code of four letters", [](TrackedFileTable& t) { t[4].installedHeader = header(6.09, "ABCD"); t[4].newHeader = header(6.11, "abcd"); }, kThisBuild, true, all},
      // Four letters fill the field: the bytes after it are no part of the code.
      {"four letters, different bytes after them", [](TrackedFileTable& t) {
         t[4].installedHeader = header(6.09, "WXYZ");
         t[4].newHeader = header(6.11, "wxyz");
         t[4].installedHeader.reserved[0] = 1;
         t[4].newHeader.reserved[0] = 2;
       }, kThisBuild, true, all},
      // The text ends at its NUL: what follows it in the field is not compared.
      {"same text, different bytes after its end", [](TrackedFileTable& t) {
         t[5].installedHeader.productCode = {'K', 'z', '\0', 'X'};
         t[5].newHeader.productCode = {'k', 'Z', '\0', 'Y'};
       }, kThisBuild, true, all},
      {"texts that differ after a shared start", [](TrackedFileTable& t) {
         t[5].installedHeader.productCode = {'K', 'A', '\0', 'X'};
         t[5].newHeader.productCode = {'K', 'A', 'X', '\0'};
       }, kThisBuild, false, {0, 1, 2, 3, 4, 16, 17}},
      {"product number differs", [](TrackedFileTable& t) { t[5].newHeader.productNumber = 2; }, kThisBuild, false, {0, 1, 2, 3, 4, 16, 17}},
      {"equal product versions", [](TrackedFileTable& t) { t[6].installedHeader.productVersion = 6.11; }, kThisBuild, true, all},
      {"new product version lower", [](TrackedFileTable& t) { t[6].installedHeader.productVersion = 6.11; t[6].newHeader.productVersion = 6.10; }, kThisBuild, false, {0, 1, 2, 3, 4, 5, 16, 17, 18}},
      {"NaN product version", [](TrackedFileTable& t) { t[7].newHeader.productVersion = std::numeric_limits<double>::quiet_NaN(); }, kThisBuild, false, {0, 1, 2, 3, 4, 5, 6, 16, 17, 18, 19}},
      {"header missing on one side", [](TrackedFileTable& t) { t[8].installedHeader = {}; t[8].installedHeaderFound = false; }, kThisBuild, false, {0, 1, 2, 3, 4, 5, 6, 7, 16, 17, 18, 19, 20}},
      {"help file missing for a copied application", [](TrackedFileTable& t) { t[21].newExists = false; }, kThisBuild, false, {0, 1, 2, 3, 4, 5, 6, 7, 8, 16, 17, 18, 19, 20}},
      {"help rows' own versions never looked at", [](TrackedFileTable& t) { t[16].installedVersion = makeVersion(9, 9, 9, 9); }, kThisBuild, true, all},
      {"Galleria skips applications 1 to 5", [](TrackedFileTable& t) { t[3].newExists = false; t[7].installedVersion = makeVersion(9, 0, 0, 0); }, ProductCodes{1, 3, 1}, true, allRowsBut({3, 4, 5, 6, 7, 12, 16, 17, 18, 19, 20, 22})},
      {"Galleria still examines application 6", [](TrackedFileTable& t) { t[8].newExists = false; }, ProductCodes{1, 3, 1}, false, {0, 1, 2}},
      {"Studio imperial examines tool 4", [](TrackedFileTable& t) { t[22].newExists = false; }, ProductCodes{1, 2, 0}, false, allRowsBut({13, 14, 15, 22})},
      {"Studio metric skips tool 4", [](TrackedFileTable& t) { t[22].newExists = false; }, ProductCodes{1, 2, 1}, true, allRowsBut({12, 22})},
      {"second language skips tool 4 in every edition", [](TrackedFileTable& t) { t[12].installedVersion = makeVersion(9, 0, 0, 0); }, ProductCodes{0, 1, 0}, true, allRowsBut({12, 22})},
      {"units other than 1 count as not metric-1", [](TrackedFileTable&) {}, ProductCodes{1, 2, 5}, true, all},
  };
  for (const Case& c : cases) {
    TrackedFileTable table = compatibleTable();
    c.change(table);
    EXPECT_EQ(kz::TestCompatibility(table, c.codes), c.passes) << c.name;
    EXPECT_EQ(copiedRows(table), c.copied) << c.name;
  }
}

// The three install values travel from each installed header into its replacement's header; the
// other fields stay as the new file had them.
TEST(TestCompatibility, CarriesInstallValuesIntoTheNewHeader) {
  TrackedFileTable table = compatibleTable();
  table[3].installedHeader.installValue1 = 5;
  table[3].installedHeader.installValue2 = 6;
  table[3].installedHeader.installValue3 = 7;
  table[3].installedHeader.transientValue = 8;
  table[3].newHeader.transientValue = 9;
  ASSERT_TRUE(kz::TestCompatibility(table, kThisBuild));
  EXPECT_EQ(table[3].newHeader.installValue1, 5u);
  EXPECT_EQ(table[3].newHeader.installValue2, 6u);
  EXPECT_EQ(table[3].newHeader.installValue3, 7u);
  EXPECT_EQ(table[3].newHeader.transientValue, 9u);
  EXPECT_EQ(table[3].newHeader.productVersion, 6.11);
}

// The verdict names the row that stopped the test and the rule it broke; the result and the flags
// are those of the plain test.
TEST(TestCompatibility, VerdictNamesTheFailingRowAndRule) {
  using kz::CompatibilityFailure;
  struct VerdictCase {
    const char* name;
    std::function<void(TrackedFileTable&)> change;
    int row;
    CompatibilityFailure failure;
  };
  const VerdictCase cases[] = {
      {"compatible", [](TrackedFileTable&) {}, -1, CompatibilityFailure::None},
      {"new missing", [](TrackedFileTable& t) { t[2].newExists = false; }, 2, CompatibilityFailure::NewMissing},
      {"fourth differs", [](TrackedFileTable& t) { t[9].newVersion = makeVersion(6, 11, 0, 211); }, 9, CompatibilityFailure::FourthDiffers},
      {"older major", [](TrackedFileTable& t) { t[1].installedVersion = makeVersion(7, 0, 0, 111); }, 1, CompatibilityFailure::OlderVersion},
      {"older minor", [](TrackedFileTable& t) { t[15].installedVersion = makeVersion(6, 12, 0, 111); }, 15, CompatibilityFailure::OlderVersion},
      {"product code", [](TrackedFileTable& t) { t[4].newHeader = header(6.11, "KAF"); }, 4, CompatibilityFailure::ProductCode},
      {"product number", [](TrackedFileTable& t) { t[5].newHeader.productNumber = 2; }, 5, CompatibilityFailure::ProductNumber},
      {"product version", [](TrackedFileTable& t) { t[6].newHeader.productVersion = 6.05; }, 6, CompatibilityFailure::ProductVersion},
      {"help missing", [](TrackedFileTable& t) { t[21].newExists = false; }, 21, CompatibilityFailure::HelpMissing},
      {"first of two failures", [](TrackedFileTable& t) { t[13].newExists = false; t[10].newVersion = 0; }, 10, CompatibilityFailure::FourthDiffers},
  };
  for (const VerdictCase& c : cases) {
    TrackedFileTable plain = compatibleTable();
    c.change(plain);
    TrackedFileTable told = plain;
    kz::CompatibilityVerdict verdict;
    verdict.row = 77;
    const bool passes = kz::TestCompatibility(told, kThisBuild, &verdict);
    EXPECT_EQ(passes, kz::TestCompatibility(plain, kThisBuild)) << c.name;
    EXPECT_EQ(passes, c.row < 0) << c.name;
    EXPECT_EQ(verdict.row, c.row) << c.name;
    EXPECT_EQ(verdict.failure, c.failure) << c.name;
    EXPECT_EQ(copiedRows(told), copiedRows(plain)) << c.name;
  }
}

// RowExamined says exactly which rows a fully compatible table leaves uncopied for each set of codes.
TEST(TestCompatibility, RowExaminedMatchesTheRowsTheTestSkips) {
  for (const ProductCodes codes : {ProductCodes{1, 1, 1}, ProductCodes{1, 3, 1}, ProductCodes{1, 2, 1}, ProductCodes{1, 2, 0},
                                   ProductCodes{0, 1, 0}, ProductCodes{0, 3, 1}}) {
    TrackedFileTable table = compatibleTable();
    ASSERT_TRUE(kz::TestCompatibility(table, codes));
    for (int row = 0; row < kz::kTrackedFileCount; ++row) {
      EXPECT_EQ(kz::RowExamined(row, codes), table[row].copy)
          << "row " << row << " codes " << codes.languageCode << codes.editionCode << codes.unitsCode;
    }
  }
  EXPECT_FALSE(kz::RowExamined(23, kThisBuild));
  EXPECT_FALSE(kz::RowExamined(-1, kThisBuild));
}

}  // namespace
