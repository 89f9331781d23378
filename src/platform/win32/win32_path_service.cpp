// The shell's path helpers and CharNextA, which read a path in the system code page. Each call works
// on a copy with room to spare, so that a result that does not fit leaves the caller's buffer as it
// was (PathCombineA, under PathAppendA, empties its destination on failure).
#include <windows.h>

#include <shlwapi.h>

#include <cstring>

#include "platform/path_service.h"

namespace kz::platform {
namespace {

// Copies work back into path when it fits the 260-byte buffer.
bool storeIfFits(char* path, const char* work) {
  const size_t length = std::strlen(work);
  if (length >= kMaxPath) return false;
  std::memcpy(path, work, length + 1);
  return true;
}

class Win32PathService final : public PathService {
 public:
  const char* nextChar(const char* p) override { return CharNextA(p); }

  bool append(char* path, const char* more) override {
    char work[MAX_PATH + 2] = {};
    std::memcpy(work, path, std::strlen(path) + 1);
    return PathAppendA(work, more) != FALSE && storeIfFits(path, work);
  }

  bool addBackslash(char* path) override {
    char work[MAX_PATH + 2] = {};
    std::memcpy(work, path, std::strlen(path) + 1);
    return PathAddBackslashA(work) != nullptr && storeIfFits(path, work);
  }

  void removeBackslash(char* path) override { PathRemoveBackslashA(path); }

  void removeFileSpec(char* path) override { PathRemoveFileSpecA(path); }

  bool renameExtension(char* path, const char* extension) override {
    char work[MAX_PATH + 2] = {};
    std::memcpy(work, path, std::strlen(path) + 1);
    return PathRenameExtensionA(work, extension) != FALSE && storeIfFits(path, work);
  }
};

}  // namespace

PathService& nativePathService() {
  static Win32PathService instance;
  return instance;
}

}  // namespace kz::platform
