// Undoing and finishing copy steps from the set-aside folder and its journal.
#include "install/set_aside.h"

#include <algorithm>
#include <string>

#include "install/file_operations.h"
#include "install/linked_folders.h"
#include "install/tracked_files.h"
#include "platform/admin_folders.h"
#include "platform/files.h"
#include "platform/path_service.h"

namespace kz {
namespace {

using Path = char[platform::kMaxPath];

// How many folders deep a relative path lies: its separators, counted character by character.
size_t depth(const std::string& path) {
  size_t count = 0;
  for (const char* p = path.c_str(); *(p = platform::componentEnd(p)) != '\0'; p = platform::pathService().nextChar(p)) {
    ++count;
  }
  return count;
}

// The folders below the set-aside folder that moves into it can make: the parents of every
// tracked path (the older help files share their help file's folder), deepest first.
std::vector<std::string> setAsideSubfolders() {
  std::vector<std::string> folders = TrackedFolders();
  std::stable_sort(folders.begin(), folders.end(), [](const std::string& a, const std::string& b) {
    return depth(a) > depth(b);
  });
  return folders;
}

enum class Owner { Run, Other, Unknown };

// Whose the file at path is: the run's when it is what the entry says the run placed there (or
// when a version 1 journal cannot say); Unknown when it cannot be read.
Owner ownerOf(const char* path, const JournalRecord& entry) {
  switch (entry.placed) {
    case JournalRecord::Placed::Unknown: return Owner::Run;
    case JournalRecord::Placed::Nothing: return Owner::Other;
    case JournalRecord::Placed::NewFile: break;
  }
  uint32_t size = 0;
  uint32_t crc = 0;
  if (!ReadFileIdentity(path, size, crc)) return Owner::Unknown;
  return size == entry.newSize && crc == entry.newCrc ? Owner::Run : Owner::Other;
}

// Whether two files hold the same bytes, as far as size and CRC-32 tell.
bool sameContents(const char* first, const char* second) {
  uint32_t size1 = 0;
  uint32_t crc1 = 0;
  uint32_t size2 = 0;
  uint32_t crc2 = 0;
  return ReadFileIdentity(first, size1, crc1) && ReadFileIdentity(second, size2, crc2) && size1 == size2 && crc1 == crc2;
}

bool undoReplace(const char* mainFolder, const JournalRecord& entry, void* owner, StepFailure* failure) {
  Path installed;
  Path aside;
  // A path that does not fit names no file: nothing went aside from it or was placed at it.
  if (!paths::join(installed, mainFolder, entry.path.c_str())) return true;
  if (setAsidePath(aside, mainFolder, entry.path.c_str()) && IsPresent(aside)) {
    // The original is safe in the set-aside folder. What stands in its place goes only when it is
    // the run's new file (or a copy of the original that a move across volumes left behind).
    if (IsPresent(installed)) {
      const Owner whose = ownerOf(installed, entry);
      if (whose == Owner::Unknown) {
        noteFailure(failure, FailureCause::NewFileUnreadable, installed);
        return false;
      }
      if (whose == Owner::Other && !sameContents(installed, aside)) {
        noteFailure(failure, FailureCause::FileNotOurs, installed, aside);
        return false;
      }
      if (!DeleteFileForced(installed)) {
        noteFailure(failure, FailureCause::FileNotDeleted, installed);
        return false;
      }
    }
    if (!MoveFileIntoPlace(aside, installed, owner)) {
      noteFailure(failure, FailureCause::FileNotMoved, aside, installed);
      return false;
    }
  }
  platform::FileSystem& fs = platform::fileSystem();
  uint32_t attributes = fs.fileAttributes(installed);
  if (attributes == platform::kInvalidAttributes) {
    if (!IsPresent(installed)) {
      // Neither in the set-aside folder nor in place: only queries that failed can say so.
      noteFailure(failure, FailureCause::FileNotMoved, aside, installed);
      return false;
    }
    attributes = ~entry.value;  // unknown: set them
  }
  if (attributes != entry.value && !fs.setFileAttributes(installed, entry.value)) {
    noteFailure(failure, FailureCause::AttributesNotRestored, installed);
    return false;
  }
  return true;
}

bool undoAdd(const char* mainFolder, const JournalRecord& entry, StepFailure* failure) {
  Path placed;
  if (!paths::join(placed, mainFolder, entry.path.c_str())) return true;  // no such file can have been placed
  // Nothing stood here before the run: what stands here now goes when it is the run's new file.
  if (!IsPresent(placed)) return true;
  switch (ownerOf(placed, entry)) {
    case Owner::Unknown:
      noteFailure(failure, FailureCause::NewFileUnreadable, placed);
      return false;
    case Owner::Other:
      noteRemark(failure, FailureCause::FileLeftInPlace, placed);
      return true;
    case Owner::Run:
      break;
  }
  if (!DeleteFileForced(placed)) {
    noteFailure(failure, FailureCause::FileNotDeleted, placed);
    return false;
  }
  return true;
}

bool undoFolder(const char* mainFolder, const JournalRecord& entry, StepFailure* failure) {
  Path folder;
  if (!paths::join(folder, mainFolder, entry.path.c_str())) return true;
  if (!IsPresent(folder) || RemoveFolder(folder)) return true;
  if (platform::fileSystem().folderHoldsEntries(folder)) {
    // The run's own files in it are gone (entries are undone latest first, and a folder's files
    // come after it): what keeps it is someone else's, and it is theirs to remove.
    noteRemark(failure, FailureCause::FolderLeftInPlace, folder);
    return true;
  }
  noteFailure(failure, FailureCause::FolderNotRemoved, folder);
  return false;
}

// ASCII letters without regard to case; every other byte as it is (a tracked path is ASCII, so
// no byte of a double-byte character can match one of its letters by folding).
bool sameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

// The path with its last extension replaced (the tracked help paths all have one).
std::string withExtension(const std::string& path, const char* extension) {
  const size_t dot = path.find_last_of('.');
  return path.substr(0, dot) + extension;
}

// The plan of a journal: the Replace, Add and Folder records between Begin and PlanEnd.
struct JournalPlan {
  std::vector<JournalRecord> entries;
  bool complete = false;   // PlanEnd read: moves may have happened
  bool committed = false;  // Commit read, and no RollBack after it
  bool wellFormed = true;
};

JournalPlan planOf(const std::vector<JournalRecord>& records) {
  JournalPlan plan;
  if (records.empty()) return plan;
  if (records.front().kind != JournalKind::Begin) {
    plan.wellFormed = false;
    return plan;
  }
  for (size_t i = 1; i < records.size(); ++i) {
    const JournalRecord& r = records[i];
    const bool planEntry = r.kind == JournalKind::Replace || r.kind == JournalKind::Add || r.kind == JournalKind::Folder;
    if (!plan.complete) {
      if (planEntry) {
        plan.entries.push_back(r);
      } else if (r.kind == JournalKind::PlanEnd && r.value == plan.entries.size()) {
        plan.complete = true;
      } else {
        plan.wellFormed = false;
        return plan;
      }
      continue;
    }
    switch (r.kind) {
      case JournalKind::SetAside:
      case JournalKind::Place:
        if (r.value >= plan.entries.size()) plan.wellFormed = false;
        break;
      case JournalKind::Commit:
        plan.committed = true;
        break;
      case JournalKind::RollBack:
        plan.committed = false;
        break;
      default:
        plan.wellFormed = false;
        break;
    }
    if (!plan.wellFormed) return plan;
  }
  return plan;
}

}  // namespace

bool PlanEntryCouldBeOurs(const JournalRecord& entry) {
  for (const TrackedRow& row : kTrackedRows) {
    const std::string tracked = row.relativePath;
    switch (entry.kind) {
      case JournalKind::Replace:
        if (row.kind == TrackedKind::Help && (sameName(entry.path, withExtension(tracked, kWinHelpExtension)) ||
                                              sameName(entry.path, withExtension(tracked, kWinHelpIndexExtension)))) {
          return true;
        }
        [[fallthrough]];
      case JournalKind::Add:
        if (sameName(entry.path, tracked)) return true;
        break;
      case JournalKind::Folder:
        if (entry.path.size() < tracked.size() && tracked[entry.path.size()] == '\\' &&
            sameName(entry.path, tracked.substr(0, entry.path.size()))) {
          return true;
        }
        break;
      default:
        // The records around the plan name no file.
        return entry.path.empty();
    }
  }
  return false;
}

bool StartJournal(JournalWriter& writer, const char* mainFolder, const std::vector<JournalRecord>& records,
                  StepFailure* failure) {
  platform::FileSystem& fs = platform::fileSystem();
  Path folder;
  Path journal;
  if (!setAsideFolderPath(folder, mainFolder) || !journalPath(journal, mainFolder)) {
    noteFailure(failure, FailureCause::FolderNotCreated, mainFolder);
    return false;
  }
  // Whoever starts a journal is about to change the main folder: the in-use check its attributes,
  // the copy step its files. Neither may reach through a link.
  if (!NoLinkWhereFilesMove(mainFolder, failure)) return false;
  // Only administrators may change what the set-aside folder holds (admin_folders.h).
  if (!platform::adminFolders().create(folder, false)) {
    // One left by an earlier run holds its originals and journal: it is never written over.
    noteFailure(failure, IsPresent(folder) ? FailureCause::FolderLeftOver : FailureCause::FolderNotCreated, folder);
    return false;
  }
  // Only for the eye: a folder that cannot be hidden works as well.
  (void)fs.setFileAttributes(folder, platform::kAttrHidden);
  if (!writer.create(journal) || !writer.append(records) || !fs.flushFolder(folder) || !fs.flushFolder(mainFolder)) {
    noteFailure(failure, FailureCause::JournalNotWritten, journal);
    writer.close();
    (void)RemoveSetAsideFolder(mainFolder, nullptr);
    return false;
  }
  return true;
}

bool RollBackPlan(const char* mainFolder, const std::vector<JournalRecord>& plan, void* owner, StepFailure* failure) {
  bool complete = true;
  for (auto it = plan.rbegin(); it != plan.rend(); ++it) {
    bool undone = true;
    switch (it->kind) {
      case JournalKind::Replace: undone = undoReplace(mainFolder, *it, owner, failure); break;
      case JournalKind::Add: undone = undoAdd(mainFolder, *it, failure); break;
      case JournalKind::Folder: undone = undoFolder(mainFolder, *it, failure); break;
      default: break;
    }
    complete = undone && complete;
  }
  return complete;
}

bool RemoveSetAsideFolder(const char* mainFolder, StepFailure* failure) {
  Path folder;
  Path journal;
  if (!setAsideFolderPath(folder, mainFolder) || !journalPath(journal, mainFolder)) return false;
  for (const std::string& sub : setAsideSubfolders()) {
    Path path;
    if (!paths::join(path, folder, sub.c_str())) continue;
    if (!RemoveFolder(path)) {
      // It still holds a file: that file may be an original, so the journal that accounts for
      // it stays too.
      noteFailure(failure, FailureCause::FolderNotRemoved, path);
      return false;
    }
  }
  if (!DeleteFileForced(journal)) {
    noteFailure(failure, FailureCause::FileNotDeleted, journal);
    return false;
  }
  if (!RemoveFolder(folder)) {
    noteFailure(failure, FailureCause::FolderNotRemoved, folder);
    return false;
  }
  (void)platform::fileSystem().flushFolder(mainFolder);
  return true;
}

bool ClearSetAsideFolder(const char* mainFolder, const std::vector<JournalRecord>& plan, StepFailure* failure) {
  for (const JournalRecord& entry : plan) {
    if (entry.kind != JournalKind::Replace) continue;
    Path aside;
    if (!setAsidePath(aside, mainFolder, entry.path.c_str())) continue;
    if (!DeleteFileForced(aside)) {
      noteFailure(failure, FailureCause::FileNotDeleted, aside);
      return false;
    }
  }
  return RemoveSetAsideFolder(mainFolder, failure);
}

RecoveryOutcome RecoverInterruptedInstall(const char* mainFolder, void* owner, StepFailure* failure) {
  Path folder;
  Path journal;
  if (!setAsideFolderPath(folder, mainFolder) || !journalPath(journal, mainFolder)) return RecoveryOutcome::NothingToDo;
  if (!IsPresent(folder)) return RecoveryOutcome::NothingToDo;
  if (!NoLinkWhereFilesMove(mainFolder, failure)) return RecoveryOutcome::Failed;

  const auto failed = [&](FailureCause cause, const char* what) {
    noteFailure(failure, cause, what);
    if (failure != nullptr) failure->keptIn = folder;
    return RecoveryOutcome::Failed;
  };
  const JournalContents contents = readJournal(journal);
  // A journal that names anything the copy step could not have written is not this program's:
  // nothing in or around its folder is touched, the folder itself included.
  for (const std::vector<JournalRecord>* records : {&contents.records, &contents.beyondDamage}) {
    for (const JournalRecord& record : *records) {
      if (!PlanEntryCouldBeOurs(record)) {
        noteFailure(failure, FailureCause::JournalForeign, folder);
        return RecoveryOutcome::Failed;
      }
    }
  }
  const bool tornPlan = contents.status == JournalReadStatus::Damaged && !planOf(contents.records).complete &&
                        std::all_of(contents.beyondDamage.begin(), contents.beyondDamage.end(), [](const JournalRecord& r) {
                          return r.kind >= JournalKind::Replace && r.kind <= JournalKind::PlanEnd;
                        });
  if (contents.status != JournalReadStatus::Read && contents.status != JournalReadStatus::Missing && !tornPlan) {
    return failed(FailureCause::JournalUnreadable, journal);
  }
  const JournalPlan plan = planOf(contents.records);
  if (!plan.wellFormed) return failed(FailureCause::JournalUnreadable, journal);

  if (tornPlan || (plan.entries.empty() && !plan.complete)) {
    // The run stopped before its plan was on the disk, so before anything moved: only the folder
    // and the journal's beginning are left. (RemoveSetAsideFolder deletes no file but the
    // journal, so a folder that holds anything else stays.)
    if (!RemoveSetAsideFolder(mainFolder, failure)) {
      if (failure != nullptr) failure->keptIn = folder;
      return RecoveryOutcome::Failed;
    }
    return RecoveryOutcome::NothingToDo;
  }
  if (plan.committed) {
    // What the folder holds is the replaced version: nothing to keep, only to remove.
    return ClearSetAsideFolder(mainFolder, plan.entries, failure) ? RecoveryOutcome::Cleared
                                                                   : RecoveryOutcome::ClearFailed;
  }
  if (!RollBackPlan(mainFolder, plan.entries, owner, failure) || !RemoveSetAsideFolder(mainFolder, failure)) {
    // Another run cannot put back an original whose place now holds someone else's file: the
    // cause line says where that original is kept, with no advice to run the update again.
    if (failure != nullptr && failure->cause != FailureCause::FileNotOurs) failure->keptIn = folder;
    return RecoveryOutcome::Failed;
  }
  return RecoveryOutcome::RolledBack;
}

}  // namespace kz
