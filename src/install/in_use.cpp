// The in-use probe over the installed side of the tracked-file table.
#include "install/in_use.h"

#include <vector>

#include "install/set_aside.h"

#include "platform/file_probe.h"
#include "platform/files.h"

namespace kz {

bool ChangeFileAttributes(const char* path, uint32_t clearMask, uint32_t setMask) {
  const uint32_t attributes = platform::fileSystem().fileAttributes(path);
  if (attributes == platform::kInvalidAttributes) return false;
  return platform::fileSystem().setFileAttributes(path, (attributes & ~clearMask) | setMask);
}

bool IsFileFree(const char* path) {
  // A read-only file would refuse the open for writing whether or not anyone holds it.
  if (!ChangeFileAttributes(path, platform::kAttrReadOnly, 0)) return false;
  return platform::fileProbe().openExclusively(path);
}

namespace {

bool readOnly(const TrackedFile& row) { return row.installedExists && (row.installedAttributes & platform::kAttrReadOnly) != 0; }

bool probeAll(TrackedFileTable& table, StepFailure* failure) {
  for (TrackedFile& row : table) {
    if (!row.installedExists) continue;
    const bool free = IsFileFree(row.installedPath);
    // The probe leaves the file as it found it, whatever it found: a refused install must not
    // have changed the main folder.
    if (readOnly(row) && !platform::fileSystem().setFileAttributes(row.installedPath, row.installedAttributes)) {
      row.attributesPending = true;
    }
    if (!free) {
      noteFailure(failure, FailureCause::FileInUse, row.installedPath);
      return false;
    }
  }
  return true;
}

}  // namespace

bool CheckFilesNotInUse(TrackedFileTable& table, const char* mainFolder, StepFailure* failure) {
  // A Replace record per read-only file, with no PlanEnd: what the recovery of a run that stopped
  // before its copy step undoes by giving each file its recorded attributes.
  std::vector<JournalRecord> covered;
  for (int i = 0; i < kTrackedFileCount; ++i) {
    if (readOnly(table[i])) covered.push_back({JournalKind::Replace, table[i].installedAttributes, kTrackedRows[i].relativePath});
  }
  if (covered.empty()) return probeAll(table, failure);
  covered.insert(covered.begin(), {JournalKind::Begin, 0, {}});
  {
    JournalWriter journal;
    if (!StartJournal(journal, mainFolder, covered, failure)) return false;
  }
  const bool free = probeAll(table, failure);
  // A pending attribute is retried when the run ends. The copy step needs the folder gone; when
  // it stays, the run stops here and the next one's recovery takes it away.
  return RemoveSetAsideFolder(mainFolder, failure) && free;
}

bool PutBackProbedAttributes(TrackedFileTable& table, bool skipCopied) {
  bool all = true;
  for (TrackedFile& row : table) {
    if (!row.attributesPending || (skipCopied && row.copy)) continue;
    if (platform::fileSystem().setFileAttributes(row.installedPath, row.installedAttributes)) {
      row.attributesPending = false;
    } else {
      all = false;
    }
  }
  return all;
}

}  // namespace kz
