// The running-application check: every installed tracked file must open for exclusive writing.
#pragma once

#include <cstdint>

#include "install/step_failure.h"
#include "install/tracked_files.h"

namespace kz {

// True when no installed tracked file is held; stops at the first one that is, and names it in
// failure (when given). The probe must take a file's read-only attribute to open it for writing;
// the check gives it back right after the probe, and marks the row attributesPending when that
// fails, for PutBackProbedAttributes. Before it takes any, a journal in mainFolder's set-aside
// folder records the attributes of those files, so that a crash in between loses none (the next
// run's recovery puts them back); the journal goes when the probe is over. False, with nothing
// probed, when that journal cannot be written.
bool CheckFilesNotInUse(TrackedFileTable& table, const char* mainFolder, StepFailure* failure = nullptr);
// Clears the read-only attribute, then tries the exclusive open; false when either fails.
bool IsFileFree(const char* path);
// Replaces the attributes by (current AND NOT clearMask) OR setMask.
bool ChangeFileAttributes(const char* path, uint32_t clearMask, uint32_t setMask);
// Gives back the attributes the check could not, for every row marked attributesPending except,
// with skipCopied, the rows whose file the copy step replaced. True when all were given back.
bool PutBackProbedAttributes(TrackedFileTable& table, bool skipCopied);

}  // namespace kz
