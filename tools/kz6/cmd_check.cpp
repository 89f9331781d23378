// kz6 check PRODUCT_DIR PACKAGE: a dry run of an install on the maker's machine. The updater's own
// main-folder validation, extraction, tracked-file table and compatibility test run against an
// installed product tree; the tool prints what the install would do with each tracked file and
// exits 0 only when the install would go through. Nothing in the product tree is changed.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/main_folder_validation.h"
#include "app/update_app.h"
#include "commands.h"
#include "install/compatibility.h"
#include "install/main_folder.h"
#include "install/tracked_files.h"
#include "package/extract_package.h"
#include "package/gzip_member.h"
#include "package/package_area.h"
#include "package_input.h"

namespace kz::tool {
namespace {

namespace fs = std::filesystem;

struct CheckOptions {
  std::string product;
  std::string package;
  ProductCodes codes;
};

// The validation's progress-log text, as the updater would show it.
std::string mainFolderLog(const char* mainFolder, MainFolderState state) {
  std::string text = MainFolderLocationLine(mainFolder, state);
  if (const char* error = MainFolderError(state)) text += error;
  return text;
}

std::string withoutCarriageReturns(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c != '\r') out += c;
  }
  return out;
}

// A work folder of the check's own, removed with everything in it at the end.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::error_code ec;
    std::string pattern = (fs::temp_directory_path(ec) / "kz6-check-XXXXXX").string();
    if (!ec && mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~ScratchFolder() {
    std::error_code ec;
    if (!path_.empty()) fs::remove_all(path_, ec);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

std::string versionText(uint64_t v) {
  return std::to_string(versionMajor(v)) + "." + std::to_string(versionMinor(v)) + "." +
         std::to_string(versionThird(v)) + "." + std::to_string(versionFourth(v));
}

std::string headerText(const PackageHeader& h, bool found) {
  if (!found) return "no header";
  std::string code;
  for (const char c : h.productCode) {
    if (c == '\0') break;
    code += c;
  }
  char version[32];
  std::snprintf(version, sizeof version, "%.15g", h.productVersion);
  return "code \"" + code + "\" number " + std::to_string(h.productNumber) + " version " + version;
}

// What the failing rule compared, in the maker's terms.
std::string failureDetail(const TrackedFile& row, CompatibilityFailure failure) {
  switch (failure) {
    case CompatibilityFailure::FourthDiffers:
    case CompatibilityFailure::OlderVersion:
      return " (installed " + versionText(row.installedVersion) + ", new " + versionText(row.newVersion) + ")";
    case CompatibilityFailure::ProductCode:
    case CompatibilityFailure::ProductNumber:
    case CompatibilityFailure::ProductVersion:
      return " (installed " + headerText(row.installedHeader, row.installedHeaderFound) + "; new " +
             headerText(row.newHeader, row.newHeaderFound) + ")";
    default:
      return "";
  }
}

struct RowOutcome {
  const char* action;  // "replace", "add", "keep" or "fail"
  std::string why;
};

// The test on the table with every other row taken out (neither installed nor new), so that each
// row's own outcome shows, not only the first failure. The rules look at no other row than a row's
// own help row, which stays in.
RowOutcome isolatedOutcome(const TrackedFileTable& gathered, int row, const ProductCodes& codes) {
  TrackedFileTable table = gathered;
  const int help = kTrackedRows[row].helpRow;
  for (int j = 0; j < kTrackedFileCount; ++j) {
    if (j == row || j == help) continue;
    table[j].installedExists = false;
    table[j].newExists = false;
  }
  CompatibilityVerdict verdict;
  if (!TestCompatibility(table, codes, &verdict)) {
    return {"fail", describeCompatibilityFailure(verdict.failure) + failureDetail(table[row], verdict.failure)};
  }
  const TrackedFile& r = table[row];
  if (r.copy) return {r.installedExists ? "replace" : "add", versionText(r.installedVersion) + " -> " + versionText(r.newVersion)};
  return {"keep", r.installedExists ? "the package does not replace it" : "neither installed nor in the package"};
}

RowOutcome outcomeOf(const TrackedFileTable& gathered, int row, const ProductCodes& codes) {
  if (!RowExamined(row, codes)) return {"keep", "not examined for these product codes"};
  if (kTrackedRows[row].kind != TrackedKind::Help) return isolatedOutcome(gathered, row, codes);
  int owner = 0;
  while (kTrackedRows[owner].helpRow != row) ++owner;
  const RowOutcome ownerOutcome = isolatedOutcome(gathered, owner, codes);
  const std::string ownerPath = kTrackedRows[owner].relativePath;
  if (ownerOutcome.action == std::string("fail")) {
    if (!gathered[owner].installedExists || gathered[row].newExists) return {"keep", ownerPath + " fails"};
    return {"fail", "the package does not carry it, and " + ownerPath + " needs it"};
  }
  if (ownerOutcome.action == std::string("keep")) return {"keep", "replaced only with " + ownerPath};
  return {gathered[row].installedExists ? "replace" : "add", "with " + ownerPath};
}

std::string mainFolderOf(const std::string& product) {
  std::string folder = fs::absolute(product).lexically_normal().string();
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

int runCheck(const CheckOptions& o) {
  const std::string mainFolder = mainFolderOf(o.product);
  if (mainFolder.size() >= platform::kMaxPath) return fail("the product folder's path is longer than 259 characters");
  std::printf("product codes: language %d, edition %d, units %d\n", o.codes.languageCode, o.codes.editionCode,
              o.codes.unitsCode);

  const MainFolderState state = CheckMainFolder(mainFolder.c_str());
  std::printf("main folder: %s\n", withoutCarriageReturns(mainFolderLog(mainFolder.c_str(), state)).c_str());
  if (state != MainFolderState::Valid) {
    std::printf("an install would stop: the main folder is not a product installation\n");
    return 1;
  }

  LoadedForm form;
  std::string error;
  if (!loadForm(o.package, form, error)) return fail(error);
  ScratchFolder work;
  if (work.path().empty()) return fail("cannot create a temporary work folder");
  const bool extracted = form.fromUpdater
                             ? extractPackage(form.file.data() + form.formOffset - kPackageFormOffset, work.path().c_str())
                             : extractForm(form.form(), form.formSize, work.path().c_str());
  if (!extracted) {
    const DecodeFailure why = lastDecodeFailure();
    std::printf("an install would stop: the package does not extract%s\n",
                why == DecodeFailure::None ? "" : (std::string(" (") + describeDecodeFailure(why) + ")").c_str());
    return 1;
  }

  TrackedFileTable table{};
  if (!BuildTrackedFileTable(table, mainFolder.c_str(), work.path().c_str())) {
    return fail("a tracked file's path is longer than 259 characters");
  }
  GatherInstalledInfo(table);
  GatherNewInfo(table);
  const TrackedFileTable gathered = table;

  CompatibilityVerdict verdict;
  const bool compatible = TestCompatibility(table, o.codes, &verdict);
  int replaced = 0;
  int added = 0;
  for (int row = 0; row < kTrackedFileCount; ++row) {
    const RowOutcome outcome = outcomeOf(gathered, row, o.codes);
    std::printf("%-8s %s: %s\n", outcome.action, kTrackedRows[row].relativePath, outcome.why.c_str());
    if (compatible && outcome.action == std::string("replace")) ++replaced;
    if (compatible && outcome.action == std::string("add")) ++added;
  }
  if (!compatible) {
    std::printf("an install would fail at %s: %s\n", kTrackedRows[verdict.row].relativePath,
                outcomeOf(gathered, verdict.row, o.codes).why.c_str());
    return 1;
  }
  std::printf("an install would go through: %d files replaced, %d added\n", replaced, added);
  return 0;
}

}  // namespace

void addCheckCommand(CLI::App& app, int& exitCode) {
  auto* cmd = app.add_subcommand(
      "check", "Dry-run an install of PACKAGE over the product installed in PRODUCT_DIR with the updater's own "
               "validation and compatibility test; exit 0 only when the install would go through");
  auto o = std::make_shared<CheckOptions>();
  const UpdateApp build;  // this build's product codes
  o->codes = {build.languageCode, build.editionCode, build.unitsCode};
  cmd->add_option("PRODUCT_DIR", o->product, "The installed product's main folder")->required();
  cmd->add_option("PACKAGE", o->package, "A KZ6 form, or an updater that carries one")->required();
  cmd->add_option("--language", o->codes.languageCode, "Language code (1 English, 0 the second language)")
      ->default_val(build.languageCode);
  cmd->add_option("--edition", o->codes.editionCode, "Edition code (1 Atelier, 2 Studio, 3 Galleria 5050)")
      ->default_val(build.editionCode);
  cmd->add_option("--units", o->codes.unitsCode, "Units code (0 imperial, other values metric)")
      ->default_val(build.unitsCode);
  cmd->callback([o, &exitCode] { exitCode = runCheck(*o); });
}

}  // namespace kz::tool
