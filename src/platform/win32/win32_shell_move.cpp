// The move into place through SHFileOperationA.
#include <windows.h>
#include <shlwapi.h>

#include <cstring>

#include "platform/shell_move.h"
#include "platform/win32/win32_shell_operation.h"

namespace kz::platform {
namespace {

// The shell creates a missing destination folder on Windows (FOF_NOCONFIRMMKDIR), but Wine's
// shell cancels such a move (1223); creating the folders first gives both the same contract.
void createParentFolders(const char* path) {
  char folder[MAX_PATH] = {};
  const size_t length = std::strlen(path);
  if (length >= MAX_PATH) return;
  std::memcpy(folder, path, length + 1);
  PathRemoveBackslashA(folder);
  if (!PathRemoveFileSpecA(folder) || PathFileExistsA(folder)) return;
  // Walked by characters of the system code page: the second byte of a double-byte character
  // may have the value of a backslash, and cutting there would make a folder of half a name.
  char* previous = nullptr;
  for (char* at = folder; *at != '\0'; previous = at, at = CharNextA(at)) {
    if (*at != '\\' || at == folder || (previous != nullptr && *previous == ':')) continue;
    *at = '\0';
    CreateDirectoryA(folder, nullptr);
    *at = '\\';
  }
  CreateDirectoryA(folder, nullptr);
}

class Win32ShellMover final : public ShellMover {
 public:
  bool moveFile(const char* source, const char* destination, void* owner) override {
    if (source[0] == '\0' || destination[0] == '\0' || std::strlen(destination) >= MAX_PATH) return false;
    createParentFolders(destination);
    return shellMoveFile(source, destination, static_cast<HWND>(owner));
  }
};

}  // namespace

ShellMover& nativeShellMover() {
  static Win32ShellMover instance;
  return instance;
}

}  // namespace kz::platform
