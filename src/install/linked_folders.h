// The check that no junction or symbolic link stands where the copy step or a recovery moves files.
//
// A main folder outside Program Files may be writable by every user: a junction planted at a
// tracked sub-folder or at the set-aside folder would send the elevated moves and deletions
// wherever it points. Nothing is moved when one stands there.
#pragma once

#include "install/step_failure.h"

namespace kz {

// True when none of these is a reparse point: the sub-folders of the main folder that hold
// tracked files (each folder on their way), the set-aside folder, its sub-folders of the same
// names, and its journal. Otherwise false, with FailureCause::LinkedFolder naming the first found.
bool NoLinkWhereFilesMove(const char* mainFolder, StepFailure* failure);

}  // namespace kz
