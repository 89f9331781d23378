// The copy step: each new file marked by the compatibility test replaces its installed file.
//
// Nothing of the installed product is deleted while the step runs. Each installed file that is
// replaced, and each older WinHelp file and index of a replaced help file, is first moved aside
// into the work folder (kSetAsideFolder); a failure anywhere puts every row handled so far back as
// it was, so the main folder ends either fully updated or exactly as before. On success the
// set-aside files leave with the work folder.
#pragma once

#include "install/tracked_files.h"

namespace kz {

// The work folder's sub-folder that holds the replaced files until the work folder is deleted.
inline constexpr const char* kSetAsideFolder = "~KMOLD";

// True when every marked row was replaced; false when a step failed and the main folder has been
// restored. owner is the window that owns the shell's file operations.
bool CopyNewFiles(TrackedFileTable& table, const char* mainFolder, const char* workFolder, void* owner);
// The shell's silent move of one file onto the destination's own name.
bool MoveFileIntoPlace(const char* source, const char* destination, void* owner);
// True when the file is gone afterwards or was never there; a read-only file is made writable first.
bool DeleteFileForced(const char* path);

}  // namespace kz
