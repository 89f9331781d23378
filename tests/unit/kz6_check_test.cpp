// kz6 check against generated products: its verdict and its per-file actions agree with the
// updater's own install run over the same product and the same update files.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <sstream>
#include <string>

#include "app/install_sequence.h"
#include "support/folder_snapshot.h"
#include "support/form_fixtures.h"
#include "support/install_scenario.h"
#include "support/product_fixtures.h"
#include "support/recording_view.h"
#include "support/temp_dir.h"
#include "support/tool_run.h"

namespace kz {
namespace {

namespace fs = std::filesystem;
using test::ProductLayout;

struct CheckResult {
  int exitCode = -1;
  std::map<std::string, std::string> actions;  // relative path -> replace, add, keep, fail
  std::map<std::string, std::string> reasons;
  std::string summary;  // the last line
  std::string out;
};

// The form of an update: one entry per present file, as the maker packs it.
test::Bytes formOf(const ProductLayout& update) {
  test::FormBuilder form;
  for (int row = 0; row < kTrackedFileCount; ++row) {
    if (!update.files[row].present) continue;
    form.file(test::FormFile(kTrackedRows[row].relativePath, test::productFileBytes(row, update.files[row])));
  }
  return form.bytes();
}

std::string codesOptions(const ProductCodes& c) {
  return " --language " + std::to_string(c.languageCode) + " --edition " + std::to_string(c.editionCode) +
         " --units " + std::to_string(c.unitsCode);
}

CheckResult check(const ProductLayout& installed, const ProductLayout& update, const ProductCodes& codes) {
  test::TempDir dir;
  const fs::path product = dir.path() / "Kestrome";
  test::writeProduct(product, installed);
  test::writeFileBytes(dir.path() / "update.kz6", formOf(update));
  const test::FolderSnapshot before = test::snapshotFolder(product);
  const test::ToolRun run = test::runKz6(dir, "check " + test::shellQuoted(product.string()) + " " +
                                                 test::shellQuoted(dir.file("update.kz6")) + codesOptions(codes));
  EXPECT_EQ(test::describeDifferences(before, test::snapshotFolder(product)), "") << "the dry run changed the product";
  EXPECT_EQ(run.err, "");
  CheckResult r;
  r.exitCode = run.exitCode;
  r.out = run.out;
  std::istringstream lines(run.out);
  for (std::string line; std::getline(lines, line);) {
    r.summary = line;
    std::istringstream fields(line);
    std::string action, path;
    fields >> action >> path;
    if (action != "replace" && action != "add" && action != "keep" && action != "fail") continue;
    if (path.size() < 2 || path.back() != ':') continue;
    path.pop_back();
    r.actions[path] = action;
    const size_t colon = line.find(": ");
    r.reasons[path] = line.substr(colon + 2);
  }
  return r;
}

struct UpdaterResult {
  bool complete = false;
  TrackedFileTable table{};
  std::string log;
};

// The updater's own install run over the same product and update files.
UpdaterResult install(const ProductLayout& installed, const ProductLayout& update, const ProductCodes& codes) {
  test::InstallScenario scenario(installed, update);
  test::RecordingView view;
  InstallSession session;
  InstallInputs inputs;
  const std::string main = scenario.mainFolderText();
  const std::string work = scenario.workFolderText();
  inputs.mainFolder = main.c_str();
  inputs.workFolder = work.c_str();
  inputs.modulePath = "C:\\Downloads\\kaem_update611.exe";
  inputs.codes = codes;
  inputs.extractPackage = [extract = scenario.extraction()](ExtractionFailure*) { return extract(); };
  InstallSequence(view, session, inputs);
  return {session.updateComplete, session.table, view.log};
}

struct Scenario {
  const char* name;
  std::function<void(ProductLayout& installed, ProductLayout& update)> change;
  ProductCodes codes;
  bool goesThrough;
  int failingRow;           // the row named as the first failure; -1 when it goes through
  const char* failReason;   // part of that row's reason
};

constexpr ProductCodes kThisBuild{1, 1, 1};

void expectAgreement(const Scenario& s) {
  SCOPED_TRACE(s.name);
  ProductLayout installed = test::installedProduct(9);
  ProductLayout update = test::updateFiles();
  s.change(installed, update);
  const CheckResult c = check(installed, update, s.codes);
  const UpdaterResult u = install(installed, update, s.codes);

  EXPECT_EQ(c.exitCode == 0, s.goesThrough) << c.out;
  EXPECT_EQ(u.complete, s.goesThrough) << u.log;
  ASSERT_EQ(c.actions.size(), static_cast<size_t>(kTrackedFileCount)) << c.out;
  if (s.goesThrough) {
    EXPECT_EQ(c.summary.rfind("an install would go through: ", 0), 0u) << c.summary;
    for (int row = 0; row < kTrackedFileCount; ++row) {
      const std::string& action = c.actions.at(kTrackedRows[row].relativePath);
      SCOPED_TRACE(kTrackedRows[row].relativePath);
      EXPECT_EQ(action == "replace" || action == "add", u.table[row].copy) << action;
      if (u.table[row].copy) {
        EXPECT_EQ(action, u.table[row].installedExists ? "replace" : "add");
      }
    }
    return;
  }
  const std::string failing = kTrackedRows[s.failingRow].relativePath;
  const std::string head = "an install would fail at " + failing + ": ";
  ASSERT_EQ(c.summary.rfind(head, 0), 0u) << c.summary;
  EXPECT_EQ(c.reasons.at(failing).rfind(c.summary.substr(head.size()), 0), 0u) << c.summary;
  EXPECT_EQ(c.actions.at(failing), "fail");
  EXPECT_NE(c.reasons.at(failing).find(s.failReason), std::string::npos) << c.reasons.at(failing);
  EXPECT_NE(u.log.find("Testing files compatibility......FAILED."), std::string::npos) << u.log;
}

TEST(Kz6Check, AgreesWithTheUpdaterOnEveryKindOfIncompatibility) {
  const Scenario scenarios[] = {
      {"compatible", [](ProductLayout&, ProductLayout&) {}, kThisBuild, true, -1, ""},
      {"a file not installed is added", [](ProductLayout& i, ProductLayout&) { i.files[10].present = false; },
       kThisBuild, true, -1, ""},
      {"package lacks an installed file", [](ProductLayout&, ProductLayout& u) { u.files[1].present = false; },
       kThisBuild, false, 1, "does not carry this installed file"},
      {"fourth component differs", [](ProductLayout&, ProductLayout& u) { u.files[9].version = makeVersion(6, 11, 0, 222); },
       kThisBuild, false, 9, "fourth version components differ (installed 6.9.2.111, new 6.11.0.222)"},
      {"installed is newer", [](ProductLayout& i, ProductLayout&) { i.files[14].version = makeVersion(6, 12, 0, 111); },
       kThisBuild, false, 14, "older than the installed one (installed 6.12.0.111, new 6.11.0.111)"},
      {"product code differs", [](ProductLayout&, ProductLayout& u) { u.files[4].header->productCode = {'X', 'Y', 'Z', 0}; },
       kThisBuild, false, 4, "product codes of the headers differ"},
      {"product number differs", [](ProductLayout&, ProductLayout& u) { u.files[5].header->productNumber = 99; },
       kThisBuild, false, 5, "product numbers of the headers differ"},
      {"product version lower", [](ProductLayout&, ProductLayout& u) { u.files[6].header->productVersion = 6.05; },
       kThisBuild, false, 6, "product version is lower"},
      {"new application without header", [](ProductLayout&, ProductLayout& u) { u.files[7].header.reset(); },
       kThisBuild, false, 7, "new no header"},
      {"help file missing", [](ProductLayout&, ProductLayout& u) { u.files[18].present = false; },
       kThisBuild, false, 18, "does not carry it, and bin\\app03.exe needs it"},
  };
  for (const Scenario& s : scenarios) expectAgreement(s);
}

// Rows that an edition, language or units code skips are kept, even when they would fail.
TEST(Kz6Check, AgreesWithTheUpdaterOnEachEditionsSkippedRows) {
  auto breakSkippable = [](ProductLayout&, ProductLayout& u) {
    u.files[3].header->productNumber = 42;                 // application 1
    u.files[12].version = makeVersion(6, 11, 0, 999);      // tool 4
  };
  const Scenario scenarios[] = {
      {"Galleria", breakSkippable, ProductCodes{1, 3, 1}, true, -1, ""},
      {"Galleria still examines application 6", [](ProductLayout&, ProductLayout& u) { u.files[21].present = false; },
       ProductCodes{1, 3, 0}, false, 21, "needs it"},
      {"Atelier examines application 1", breakSkippable, kThisBuild, false, 3, "product numbers"},
      {"Studio metric skips tool 4", [](ProductLayout&, ProductLayout& u) { u.files[12].version = makeVersion(6, 11, 0, 999); },
       ProductCodes{1, 2, 1}, true, -1, ""},
      {"Studio imperial examines tool 4", [](ProductLayout&, ProductLayout& u) { u.files[12].version = makeVersion(6, 11, 0, 999); },
       ProductCodes{1, 2, 0}, false, 12, "fourth version components differ"},
      {"second language skips tool 4", [](ProductLayout&, ProductLayout& u) { u.files[22].present = false; },
       ProductCodes{0, 1, 0}, true, -1, ""},
  };
  for (const Scenario& s : scenarios) expectAgreement(s);

  const CheckResult galleria = check(test::installedProduct(9), test::updateFiles(), ProductCodes{1, 3, 1});
  for (int row : {3, 4, 5, 6, 7, 12, 16, 17, 18, 19, 20, 22}) {
    EXPECT_EQ(galleria.actions.at(kTrackedRows[row].relativePath), "keep") << row;
    EXPECT_EQ(galleria.reasons.at(kTrackedRows[row].relativePath), "not examined for these product codes") << row;
  }
  EXPECT_EQ(galleria.summary, "an install would go through: 11 files replaced, 0 added");
}

// A folder that is no product installation stops the check as it stops the install, with the
// updater's own log text; so does a package that does not extract.
TEST(Kz6Check, StopsWhereTheUpdaterStops) {
  test::TempDir dir;
  ProductLayout installed = test::installedProduct(9);
  test::writeProduct(dir.path() / "Kestrome", installed);
  fs::remove_all(dir.path() / "Kestrome/scenes.set");
  test::writeFileBytes(dir.path() / "update.kz6", formOf(test::updateFiles()));
  const auto check = [&](const char* form) {
    return test::runKz6(dir, "check " + test::shellQuoted(dir.file("Kestrome")) + " " + test::shellQuoted(dir.file(form)));
  };
  const test::ToolRun invalid = check("update.kz6");
  EXPECT_EQ(invalid.exitCode, 1);
  EXPECT_NE(invalid.out.find("The folder of the currently installed Kestrome software is whether corrupted"), std::string::npos)
      << invalid.out;
  EXPECT_NE(invalid.out.find("an install would stop: the main folder is not a product installation"), std::string::npos);

  fs::create_directory(dir.path() / "Kestrome/scenes.set");
  test::Bytes damaged = formOf(test::updateFiles());
  damaged[damaged.size() - 12] ^= 0xFF;  // the last member's CRC
  test::writeFileBytes(dir.path() / "damaged.kz6", damaged);
  const test::ToolRun broken = check("damaged.kz6");
  EXPECT_EQ(broken.exitCode, 1);
  EXPECT_NE(broken.out.find("an install would stop: the package does not extract"), std::string::npos) << broken.out;

  const test::ToolRun fine = check("update.kz6");
  EXPECT_EQ(fine.exitCode, 0) << fine.out;
  EXPECT_NE(fine.out.find("product codes: language 1, edition 1, units 1\n"), std::string::npos) << fine.out;
}

}  // namespace
}  // namespace kz
