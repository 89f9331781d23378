// The updater's extraction step: its own package area into the work folder of UpdateApp.
#pragma once

#include "package/extract_package.h"

namespace kz {

// Defined beside the application state, in the executables that carry a package area.
bool extractPackage(ExtractionFailure* failure = nullptr);

}  // namespace kz
