// The version, header and help rules and the order in which rows are examined.
#include "install/compatibility.h"

#include <cstddef>
#include <cstdio>
#include <iterator>
#include <string>

namespace kz {
namespace {

char foldAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string versionText(uint64_t v) {
  char text[32];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", versionMajor(v), versionMinor(v), versionThird(v), versionFourth(v));
  return text;
}

std::string productVersionText(double v) {
  char text[40];
  std::snprintf(text, sizeof text, "%0.2f", v);
  return text;
}

// The install's own account of a failed row: the file and the reason in the user's words.
void noteVerdict(const TrackedFileTable& table, const CompatibilityVerdict& verdict, StepFailure* failure) {
  if (failure == nullptr || verdict.row < 0) return;
  const TrackedFile& row = table[verdict.row];
  switch (verdict.failure) {
    case CompatibilityFailure::None:
      return;
    case CompatibilityFailure::NewMissing:
    case CompatibilityFailure::HelpMissing:
      noteFailure(failure, FailureCause::NewFileMissing, kTrackedRows[verdict.row].relativePath);
      return;
    case CompatibilityFailure::FourthDiffers:
    case CompatibilityFailure::OlderVersion:
      noteFailure(failure, FailureCause::VersionNotReplaced, row.installedPath, versionText(row.installedVersion),
                  versionText(row.newVersion));
      return;
    case CompatibilityFailure::ProductCode:
    case CompatibilityFailure::ProductNumber:
      // Without a header a side compares as an all-zero record; saying so is the plainer reason.
      if (!row.installedHeaderFound) {
        noteFailure(failure, FailureCause::HeaderMissing, row.installedPath);
      } else if (!row.newHeaderFound) {
        noteFailure(failure, FailureCause::HeaderMissing, row.newPath);
      } else {
        noteFailure(failure, FailureCause::OtherProduct, row.installedPath);
      }
      return;
    case CompatibilityFailure::ProductVersion:
      noteFailure(failure, FailureCause::ProductVersionLater, row.installedPath,
                  productVersionText(row.installedHeader.productVersion),
                  productVersionText(row.newHeader.productVersion));
      return;
  }
}

// Version rule; sets copy when the row passes and is not an application (whose header comes next).
CompatibilityFailure versionRule(TrackedFile& row, TrackedKind kind, bool& compareHeader) {
  compareHeader = false;
  if (!row.installedExists) {
    // Not installed: added when the package brings it, nothing compared.
    row.copy = row.newExists;
    return CompatibilityFailure::None;
  }
  if (!row.newExists) return CompatibilityFailure::NewMissing;
  if (versionFourth(row.installedVersion) != versionFourth(row.newVersion)) return CompatibilityFailure::FourthDiffers;
  const uint16_t installedMajor = versionMajor(row.installedVersion);
  const uint16_t newMajor = versionMajor(row.newVersion);
  if (installedMajor > newMajor) return CompatibilityFailure::OlderVersion;
  if (installedMajor == newMajor && versionMinor(row.installedVersion) > versionMinor(row.newVersion)) {
    return CompatibilityFailure::OlderVersion;
  }
  if (kind == TrackedKind::Application) {
    compareHeader = true;
  } else {
    row.copy = true;
  }
  return CompatibilityFailure::None;
}

CompatibilityFailure headerRule(TrackedFile& row) {
  if (!sameProductCode(row.installedHeader, row.newHeader)) return CompatibilityFailure::ProductCode;
  if (row.installedHeader.productNumber != row.newHeader.productNumber) return CompatibilityFailure::ProductNumber;
  // Written so that a NaN on either side fails: only an ordered "not greater" passes.
  if (!(row.installedHeader.productVersion <= row.newHeader.productVersion)) return CompatibilityFailure::ProductVersion;
  row.newHeader.installValue1 = row.installedHeader.installValue1;
  row.newHeader.installValue2 = row.installedHeader.installValue2;
  row.newHeader.installValue3 = row.installedHeader.installValue3;
  row.copy = true;
  return CompatibilityFailure::None;
}

CompatibilityFailure examineRow(TrackedFileTable& table, int index) {
  const TrackedRow& descriptor = kTrackedRows[index];
  TrackedFile& row = table[index];
  bool compareHeader = false;
  CompatibilityFailure failure = versionRule(row, descriptor.kind, compareHeader);
  if (failure == CompatibilityFailure::None && compareHeader) failure = headerRule(row);
  if (failure != CompatibilityFailure::None) return failure;
  if (descriptor.helpRow != kNoHelpRow && row.copy) {
    TrackedFile& help = table[descriptor.helpRow];
    if (!help.newExists) return CompatibilityFailure::HelpMissing;
    help.copy = true;
  }
  return CompatibilityFailure::None;
}

struct Step {
  int first;
  int last;
};

// The examination order; stepExamined says which steps the product codes include.
constexpr Step kSteps[] = {
    {0, 2},    // libraries
    {3, 3},    // applications 1 to 5 with their help files
    {4, 4}, {5, 5}, {6, 6}, {7, 7},
    {8, 8},    // application 6 and its help file
    {9, 11},   // tools 1 to 3
    {12, 12},  // tool 4 and its help file
    {13, 15},  // tools 5 to 7
};

bool stepExamined(size_t step, const ProductCodes& codes) {
  const bool notGalleria = codes.editionCode != 3;
  if (step >= 1 && step <= 5) return notGalleria;
  if (step == 8) return codes.languageCode != 0 && notGalleria && !(codes.editionCode == 2 && codes.unitsCode == 1);
  return true;
}

}  // namespace

bool sameProductCode(const PackageHeader& a, const PackageHeader& b) {
  for (size_t i = 0; i < a.productCode.size(); ++i) {
    const char x = foldAscii(a.productCode[i]);
    const char y = foldAscii(b.productCode[i]);
    if (x != y) return false;
    if (x == '\0') return true;
  }
  return true;  // four characters without a NUL: the field ends the text
}

bool RowExamined(int row, const ProductCodes& codes) {
  if (row < 0 || row >= kTrackedFileCount) return false;
  for (size_t step = 0; step < std::size(kSteps); ++step) {
    for (int i = kSteps[step].first; i <= kSteps[step].last; ++i) {
      if (i == row || kTrackedRows[i].helpRow == row) return stepExamined(step, codes);
    }
  }
  return false;
}

const char* describeCompatibilityFailure(CompatibilityFailure failure) {
  switch (failure) {
    case CompatibilityFailure::None: return "compatible";
    case CompatibilityFailure::NewMissing: return "the package does not carry this installed file";
    case CompatibilityFailure::FourthDiffers: return "the fourth version components differ";
    case CompatibilityFailure::OlderVersion: return "the new version is older than the installed one";
    case CompatibilityFailure::ProductCode: return "the product codes of the headers differ";
    case CompatibilityFailure::ProductNumber: return "the product numbers of the headers differ";
    case CompatibilityFailure::ProductVersion: return "the new header's product version is lower";
    case CompatibilityFailure::HelpMissing: return "the package does not carry its help file";
  }
  return "unknown";
}

bool TestCompatibility(TrackedFileTable& table, const ProductCodes& codes, StepFailure* failure) {
  CompatibilityVerdict verdict;
  if (TestCompatibility(table, codes, &verdict)) return true;
  noteVerdict(table, verdict, failure);
  return false;
}

bool TestCompatibility(TrackedFileTable& table, const ProductCodes& codes, CompatibilityVerdict* verdict) {
  if (verdict != nullptr) *verdict = CompatibilityVerdict{};
  for (size_t step = 0; step < std::size(kSteps); ++step) {
    if (!stepExamined(step, codes)) continue;
    for (int i = kSteps[step].first; i <= kSteps[step].last; ++i) {
      const CompatibilityFailure failure = examineRow(table, i);
      if (failure == CompatibilityFailure::None) continue;
      if (verdict != nullptr) {
        verdict->row = failure == CompatibilityFailure::HelpMissing ? kTrackedRows[i].helpRow : i;
        verdict->failure = failure;
      }
      return false;
    }
  }
  return true;
}

}  // namespace kz
