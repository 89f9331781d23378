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

// The product codes of two headers, as NUL-terminated texts of at most four bytes, compared
// without regard to ASCII letter case.
bool sameProductCode(const PackageHeader& a, const PackageHeader& b);

}  // namespace kz
