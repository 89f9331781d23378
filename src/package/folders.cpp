// Folders made outermost first, one component at a time, and trailing-backslash helpers.
#include "package/folders.h"

#include <cstring>

#include "platform/files.h"

namespace kz {
namespace {

// The parent part of path as its own string; false when it does not fit the buffer.
bool parentOf(const char* path, char (&parent)[platform::kMaxPath]) {
  const size_t cut = parentCut(path);
  if (cut >= sizeof parent) return false;
  std::memcpy(parent, path, cut);
  parent[cut] = '\0';
  return true;
}

}  // namespace

size_t parentCut(const char* path) {
  const size_t length = std::strlen(path);
  for (size_t i = length; i > 0; --i) {
    const char c = path[i - 1];
    if (c == '\\' || c == '/') return i - 1;
    if (c == ':') return i;
  }
  return 0;
}

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

bool addBackslash(char* path, size_t size) {
  const size_t length = std::strlen(path);
  if (length > 0 && (path[length - 1] == '\\' || path[length - 1] == '/')) return true;
  if (length + 2 > size) return false;
  path[length] = '\\';
  path[length + 1] = '\0';
  return true;
}

void removeBackslash(char* path) {
  const size_t length = std::strlen(path);
  if (length == 0 || path[length - 1] != '\\') return;
  if (length == 3 && path[1] == ':') return;
  path[length - 1] = '\0';
}

}  // namespace kz
