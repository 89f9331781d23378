// Looks for reparse points on the paths of the copy step's and the recovery's moves.
#include "install/linked_folders.h"

#include <algorithm>
#include <string>
#include <vector>

#include "install/journal.h"
#include "install/set_aside.h"
#include "install/tracked_files.h"
#include "platform/files.h"
#include "platform/path_service.h"

namespace kz {
namespace {

bool isLink(const char* path) {
  const uint32_t attributes = platform::fileSystem().fileAttributes(path);
  return attributes != platform::kInvalidAttributes && (attributes & platform::kAttrReparsePoint) != 0;
}

// Every folder that a tracked path lies in, each once ("misc.set", "misc.set\hlpfiles", ...).
std::vector<std::string> trackedFolders() {
  std::vector<std::string> folders;
  for (const TrackedRow& row : kTrackedRows) {
    std::string path = row.relativePath;
    for (size_t cut = platform::parentCut(path.c_str()); cut != 0; cut = platform::parentCut(path.c_str())) {
      path.resize(cut);
      if (std::find(folders.begin(), folders.end(), path) == folders.end()) folders.push_back(path);
    }
  }
  return folders;
}

}  // namespace

bool NoLinkWhereFilesMove(const char* mainFolder, StepFailure* failure) {
  char aside[paths::kPathSize];
  char journal[paths::kPathSize];
  std::vector<std::string> checked;
  if (setAsideFolderPath(aside, mainFolder)) checked.emplace_back(aside);
  if (journalPath(journal, mainFolder)) checked.emplace_back(journal);
  for (const std::string& folder : trackedFolders()) {
    char path[paths::kPathSize];
    if (paths::assign(path, mainFolder) && paths::append(path, folder.c_str())) checked.emplace_back(path);
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
