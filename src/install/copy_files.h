// The copy step: each new file marked by the compatibility test replaces its installed file.
//
// Nothing of the installed product is deleted while the step runs. The headers are written into
// the new applications first, while the main folder is untouched. Then each installed file that
// is replaced, and each older WinHelp file and index of a replaced help file, is renamed into the
// hidden set-aside folder inside the main folder, and the new file moved into its place, each
// move announced in the journal beside the set-aside files before it happens (journal.cpp). A
// failure anywhere puts everything back from the set-aside folder, so the main folder ends either
// fully updated or exactly as before; when even that cannot finish, the set-aside folder and the
// journal stay, and the next Install finishes the rollback. Every new file is on the disk (its
// data flushed when it was written, the folders it went into flushed after the last move) before
// the Commit record lets the originals go; the set-aside folder is then removed.
#pragma once

#include "install/journal.h"
#include "install/step_failure.h"
#include "install/tracked_files.h"

namespace kz {

// True when every marked row was replaced; false when a step failed, the cause then in failure
// (when given): the main folder has been restored, or failure->keptIn names the folder that still
// holds originals. owner is the window that owns the shell's file operations.
bool CopyNewFiles(TrackedFileTable& table, const char* mainFolder, void* owner, StepFailure* failure = nullptr);

}  // namespace kz
