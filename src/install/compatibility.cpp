// The version, header and help rules and the order in which rows are examined.
#include "install/compatibility.h"

#include <cstddef>
#include <cstdio>
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

// Version rule; sets copy when the row passes and is not an application (whose header comes next).
bool versionRulePasses(TrackedFile& row, const TrackedRow& descriptor, bool& compareHeader, StepFailure* failure) {
  compareHeader = false;
  if (!row.installedExists) {
    // Not installed: added when the package brings it, nothing compared.
    row.copy = row.newExists;
    return true;
  }
  if (!row.newExists) {
    noteFailure(failure, FailureCause::NewFileMissing, descriptor.relativePath);
    return false;
  }
  const auto refuse = [&] {
    noteFailure(failure, FailureCause::VersionNotReplaced, row.installedPath, versionText(row.installedVersion),
                versionText(row.newVersion));
    return false;
  };
  if (versionFourth(row.installedVersion) != versionFourth(row.newVersion)) return refuse();
  const uint16_t installedMajor = versionMajor(row.installedVersion);
  const uint16_t newMajor = versionMajor(row.newVersion);
  if (installedMajor > newMajor) return refuse();
  if (installedMajor == newMajor && versionMinor(row.installedVersion) > versionMinor(row.newVersion)) return refuse();
  if (descriptor.kind == TrackedKind::Application) {
    compareHeader = true;
  } else {
    row.copy = true;
  }
  return true;
}

bool headerRulePasses(TrackedFile& row, StepFailure* failure) {
  if (!sameProductCode(row.installedHeader, row.newHeader) ||
      row.installedHeader.productNumber != row.newHeader.productNumber) {
    // Without a header a side compares as an all-zero record; saying so is the plainer reason.
    if (!row.installedHeaderFound) {
      noteFailure(failure, FailureCause::HeaderMissing, row.installedPath);
    } else if (!row.newHeaderFound) {
      noteFailure(failure, FailureCause::HeaderMissing, row.newPath);
    } else {
      noteFailure(failure, FailureCause::OtherProduct, row.installedPath);
    }
    return false;
  }
  // Written so that a NaN on either side fails: only an ordered "not greater" passes.
  if (!(row.installedHeader.productVersion <= row.newHeader.productVersion)) {
    noteFailure(failure, FailureCause::ProductVersionLater, row.installedPath,
                productVersionText(row.installedHeader.productVersion), productVersionText(row.newHeader.productVersion));
    return false;
  }
  row.newHeader.installValue1 = row.installedHeader.installValue1;
  row.newHeader.installValue2 = row.installedHeader.installValue2;
  row.newHeader.installValue3 = row.installedHeader.installValue3;
  row.copy = true;
  return true;
}

bool examineRow(TrackedFileTable& table, int index, StepFailure* failure) {
  const TrackedRow& descriptor = kTrackedRows[index];
  TrackedFile& row = table[index];
  bool compareHeader = false;
  if (!versionRulePasses(row, descriptor, compareHeader, failure)) return false;
  if (compareHeader && !headerRulePasses(row, failure)) return false;
  if (descriptor.helpRow != kNoHelpRow && row.copy) {
    TrackedFile& help = table[descriptor.helpRow];
    if (!help.newExists) {
      noteFailure(failure, FailureCause::NewFileMissing, kTrackedRows[descriptor.helpRow].relativePath);
      return false;
    }
    help.copy = true;
  }
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

bool TestCompatibility(TrackedFileTable& table, const ProductCodes& codes, StepFailure* failure) {
  const bool notGalleria = codes.editionCode != 3;
  const bool toolFourExamined = codes.languageCode != 0 && notGalleria &&
                                !(codes.editionCode == 2 && codes.unitsCode == 1);
  struct Step {
    int first;
    int last;
    bool examined;
  };
  const Step steps[] = {
      {0, 2, true},            // libraries
      {3, 3, notGalleria},     // applications 1 to 5 with their help files
      {4, 4, notGalleria},
      {5, 5, notGalleria},
      {6, 6, notGalleria},
      {7, 7, notGalleria},
      {8, 8, true},            // application 6 and its help file
      {9, 11, true},           // tools 1 to 3
      {12, 12, toolFourExamined},
      {13, 15, true},          // tools 5 to 7
  };
  for (const Step& step : steps) {
    if (!step.examined) continue;
    for (int i = step.first; i <= step.last; ++i) {
      if (!examineRow(table, i, failure)) return false;
    }
  }
  return true;
}

}  // namespace kz
