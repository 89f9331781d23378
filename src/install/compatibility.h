// The compatibility test: whether the new files may replace the installed ones, and which do.
#pragma once

#include <cstdint>

#include "install/step_failure.h"
#include "install/tracked_files.h"

namespace kz {

// The three product codes this update is built for; they decide which rows are examined.
struct ProductCodes {
  int32_t languageCode = 1;
  int32_t editionCode = 1;
  int32_t unitsCode = 1;
};

// Walks the examined rows in order and stops at the first incompatible one (false). Sets the copy
// flag of every row to be replaced and carries the three install values of each installed
// application's header into its replacement's header. failure, when given, names the file that
// stopped the test and why.
bool TestCompatibility(TrackedFileTable& table, const ProductCodes& codes, StepFailure* failure = nullptr);

// Why a row failed the test; the updater shows none of this, the maker's tool names it.
enum class CompatibilityFailure : uint8_t {
  None,
  NewMissing,      // an installed file that the new files lack
  FourthDiffers,   // the fourth product version components differ
  OlderVersion,    // a lower major, or the same major and a lower minor
  ProductCode,     // application headers: different product codes
  ProductNumber,   // application headers: different product numbers
  ProductVersion,  // application headers: a lower (or unordered) product version in the new one
  HelpMissing,     // the row is copied but the new files lack its help file
};

struct CompatibilityVerdict {
  int row = -1;  // the row that failed (the help row for HelpMissing); -1 when none did
  CompatibilityFailure failure = CompatibilityFailure::None;
};

// The same test, also telling which row stopped it and why when verdict is given.
bool TestCompatibility(TrackedFileTable& table, const ProductCodes& codes, CompatibilityVerdict* verdict);

// Whether the test examines a row for these codes; a help row is examined with its owner.
bool RowExamined(int row, const ProductCodes& codes);

const char* describeCompatibilityFailure(CompatibilityFailure failure);

// The product codes of two headers, as NUL-terminated texts of at most four bytes, compared
// without regard to ASCII letter case.
bool sameProductCode(const PackageHeader& a, const PackageHeader& b);

}  // namespace kz
