// The move into place through SHFileOperationA.
#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <cstring>

#include "platform/shell_move.h"

namespace kz::platform {
namespace {

// MAX_PATH plus room for the second NUL that ends the shell's list of names.
constexpr size_t kListBufferSize = 264;

bool toNameList(const char* path, char (&list)[kListBufferSize]) {
  const size_t length = std::strlen(path);
  if (length >= MAX_PATH) return false;
  std::memset(list, 0, sizeof list);
  std::memcpy(list, path, length);
  PathRemoveBackslashA(list);
  return true;
}

// The shell creates a missing destination folder on Windows (FOF_NOCONFIRMMKDIR), but Wine's
// shell cancels such a move (1223); creating the folders first gives both the same contract.
void createParentFolders(const char* path) {
  char folder[MAX_PATH] = {};
  std::memcpy(folder, path, std::strlen(path) + 1);
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
    char from[kListBufferSize];
    char to[kListBufferSize];
    if (!toNameList(source, from) || !toNameList(destination, to)) return false;
    createParentFolders(to);
    SHFILEOPSTRUCTA op{};
    op.hwnd = static_cast<HWND>(owner);
    op.wFunc = FO_MOVE;
    op.pFrom = from;
    op.pTo = to;
    // FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI (0x0614): replace and
    // create folders without asking, and show no window at all.
    op.fFlags = static_cast<FILEOP_FLAGS>(FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI);
    return SHFileOperationA(&op) == 0;
  }
};

}  // namespace

ShellMover& nativeShellMover() {
  static Win32ShellMover instance;
  return instance;
}

}  // namespace kz::platform
