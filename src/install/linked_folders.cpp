// Looks for reparse points on the paths of the copy step's and the recovery's moves.
#include "install/linked_folders.h"

#include <string>
#include <vector>

#include "install/journal.h"
#include "install/tracked_files.h"
#include "platform/files.h"

namespace kz {
namespace {

bool isLink(const char* path) {
  const uint32_t attributes = platform::fileSystem().fileAttributes(path);
  return attributes != platform::kInvalidAttributes && (attributes & platform::kAttrReparsePoint) != 0;
}

}  // namespace

bool NoLinkWhereFilesMove(const char* mainFolder, StepFailure* failure) {
  char aside[platform::kMaxPath];
  char journal[platform::kMaxPath];
  std::vector<std::string> checked;
  if (setAsideFolderPath(aside, mainFolder)) checked.emplace_back(aside);
  if (journalPath(journal, mainFolder)) checked.emplace_back(journal);
  for (const std::string& folder : TrackedFolders()) {
    char path[platform::kMaxPath];
    if (paths::join(path, mainFolder, folder.c_str())) checked.emplace_back(path);
    if (setAsidePath(path, mainFolder, folder.c_str())) checked.emplace_back(path);
  }
  for (const std::string& path : checked) {
    if (isLink(path.c_str())) {
      noteFailure(failure, FailureCause::LinkedFolder, path);
      return false;
    }
  }
  return true;
}

}  // namespace kz
