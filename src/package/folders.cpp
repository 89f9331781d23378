// Folders made outermost first, one component at a time.
#include "package/folders.h"

#include <cstring>

#include "platform/files.h"
#include "platform/path_service.h"

namespace kz {
namespace {

// The parent part of path as its own string; false when it does not fit the buffer.
bool parentOf(const char* path, char (&parent)[platform::kMaxPath]) {
  const size_t cut = platform::parentCut(path);
  if (cut >= sizeof parent) return false;
  std::memcpy(parent, path, cut);
  parent[cut] = '\0';
  return true;
}

}  // namespace

bool makeFolders(const char* path) {
  platform::FileSystem& fs = platform::fileSystem();
  if (*path == '\0') return true;
  if (fs.pathExists(path)) return true;
  fs.createDirectory(path);
  if (fs.pathExists(path)) return true;
  char parent[platform::kMaxPath];
  if (!parentOf(path, parent) || parent[0] == '\0') return false;
  if (!makeFolders(parent)) return false;
  return fs.createDirectory(path);
}

bool makeParentFolders(const char* path) {
  char parent[platform::kMaxPath];
  if (!parentOf(path, parent)) return false;
  if (parent[0] == '\0') return true;
  return makeFolders(parent);
}

}  // namespace kz
