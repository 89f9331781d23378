// The shell's silent move with its effect checked.
#include "platform/win32/win32_shell_operation.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <cstring>

namespace kz::platform {
namespace {

// MAX_PATH plus room for the second NUL that ends the shell's list of names.
constexpr size_t kListBufferSize = MAX_PATH + 4;

bool toNameList(const char* path, char (&list)[kListBufferSize]) {
  const size_t length = std::strlen(path);
  if (length == 0 || length >= MAX_PATH) return false;
  std::memset(list, 0, sizeof list);
  std::memcpy(list, path, length);
  PathRemoveBackslashA(list);
  return true;
}

bool isFolder(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Gone means the lookup says there is no such file; any other failure to look leaves it unknown,
// and a move that cannot be confirmed counts as not made.
bool isGone(const char* path) {
  if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) return false;
  const DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

}  // namespace

bool shellMoveFile(const char* source, const char* destination, HWND owner) {
  char from[kListBufferSize];
  char to[kListBufferSize];
  if (!toNameList(source, from) || !toNameList(destination, to)) return false;
  if (isFolder(GetFileAttributesA(to))) return false;
  SHFILEOPSTRUCTA op{};
  op.hwnd = owner;
  op.wFunc = FO_MOVE;
  op.pFrom = from;
  op.pTo = to;
  // Replace and create folders without asking, and show no window at all.
  op.fFlags = static_cast<FILEOP_FLAGS>(FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI);
  if (SHFileOperationA(&op) != 0 || op.fAnyOperationsAborted) return false;
  // The shell's word is not enough: Wine's has been seen to answer 0 for a move it never made,
  // for instance when a plain file stands where the destination's folder belongs.
  const DWORD placed = GetFileAttributesA(to);
  return placed != INVALID_FILE_ATTRIBUTES && !isFolder(placed) && isGone(from);
}

}  // namespace kz::platform
