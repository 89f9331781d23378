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

bool CheckFilesNotInUse(const TrackedFileTable& table) {
  for (const TrackedFile& row : table) {
    if (row.installedExists && !IsFileFree(row.installedPath)) return false;
  }
  return true;
}

}  // namespace kz
