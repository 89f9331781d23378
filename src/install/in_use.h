// The running-application check: every installed tracked file must open for exclusive writing.
#pragma once

#include <cstdint>

#include "install/tracked_files.h"

namespace kz {

// True when no installed tracked file is held; stops at the first one that is. Each file probed
// loses its read-only attribute for good, whatever the probe finds.
bool CheckFilesNotInUse(const TrackedFileTable& table);
// Clears the read-only attribute, then tries the exclusive open; false when either fails.
bool IsFileFree(const char* path);
// Replaces the attributes by (current AND NOT clearMask) OR setMask.
bool ChangeFileAttributes(const char* path, uint32_t clearMask, uint32_t setMask);

}  // namespace kz
