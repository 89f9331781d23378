// The in-use probe over the installed side of the tracked-file table.
#include "install/in_use.h"

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

bool CheckFilesNotInUse(TrackedFileTable& table, StepFailure* failure) {
  for (TrackedFile& row : table) {
    if (!row.installedExists) continue;
    const bool free = IsFileFree(row.installedPath);
    // The probe leaves the file as it found it, whatever it found: a refused install must not
    // have changed the main folder.
    if ((row.installedAttributes & platform::kAttrReadOnly) != 0 &&
        !platform::fileSystem().setFileAttributes(row.installedPath, row.installedAttributes)) {
      row.attributesPending = true;
    }
    if (!free) {
      noteFailure(failure, FailureCause::FileInUse, row.installedPath);
      return false;
    }
  }
  return true;
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
