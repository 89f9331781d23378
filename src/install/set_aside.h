// The set-aside folder inside the main folder: undoing a copy step's plan, clearing the folder,
// and recovering the main folder from an earlier run that did not end.
//
// Every decision is taken from the file system as it is: an installed file is back in place when
// the set-aside folder no longer holds it and the main folder does. Nothing here ever deletes a
// file that the set-aside folder holds, its journal aside, unless the journal says the update was
// completed.
#pragma once

#include <cstdint>
#include <vector>

#include "install/journal.h"
#include "install/step_failure.h"

namespace kz {

// Creates the set-aside folder (hidden) and in it a new journal that begins with records, on the
// disk when it returns true; the writer stays open for more. Refuses a set-aside folder that is
// already there (FolderLeftOver): it holds an earlier run's originals. On failure nothing is left.
bool StartJournal(JournalWriter& writer, const char* mainFolder, const std::vector<JournalRecord>& records,
                  StepFailure* failure);

// Whether the copy step could have written this plan entry: a Replace or Add of a tracked file's
// relative path, a Replace of a help file's older WinHelp companion, a Folder on the way to one of
// them; letters compared without regard to case. Nothing else (an absolute path, "..", a drive or
// stream colon, another name) is ever acted on.
bool PlanEntryCouldBeOurs(const JournalRecord& entry);

// Puts the main folder back as the plan found it (Replace, Add and Folder records), latest entry
// first: a set-aside file goes back over the run's new file and gets its attributes back, the
// run's new file placed where none was is deleted, a folder the run made is removed. A file that
// is not the run's (the journal records each new file's size and CRC-32) is never deleted: over
// it no original goes back (a failure that names both), and where none was it stays (a remark). Entries the run
// never reached are left as they are, and so is an entry whose set-aside path cannot exist. A
// folder the run made that cannot be removed (it holds someone else's file) stays, noted as a
// remark in failure. Goes on past an entry that cannot be undone, so that as much as possible is
// back; true when every entry is.
bool RollBackPlan(const char* mainFolder, const std::vector<JournalRecord>& plan, void* owner, StepFailure* failure);

// Removes the journal and the set-aside folder with its (empty) sub-folders. Never deletes a file
// in it other than the journal: a folder that still holds a file stays, and so does the journal.
bool RemoveSetAsideFolder(const char* mainFolder, StepFailure* failure);

// After a completed update: deletes the replaced files the plan set aside, then the folder.
bool ClearSetAsideFolder(const char* mainFolder, const std::vector<JournalRecord>& plan, StepFailure* failure);

enum class RecoveryOutcome {
  NothingToDo,  // no set-aside folder, or an empty one left before anything moved (now removed)
  RolledBack,   // an unfinished run was undone: the main folder is as it was before it
  Cleared,      // a completed run's set-aside files were removed
  Failed,       // an unfinished run could not be undone, or its journal cannot be understood or
                // names what no copy step writes: failure says why (and where the originals are
                // kept); nothing that holds one was deleted
  ClearFailed,  // a completed run's set-aside folder could not be removed; failure says why
};

// What Install does first: finishes whatever an earlier run left in the set-aside folder.
RecoveryOutcome RecoverInterruptedInstall(const char* mainFolder, void* owner, StepFailure* failure);

}  // namespace kz
