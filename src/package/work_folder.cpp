// The temporary folder and the work folder that extraction writes into.
#include "package/work_folder.h"

#include <cstring>

#include "package/folders.h"
#include "platform/admin_folders.h"
#include "platform/files.h"
#include "platform/path_service.h"

namespace kz {
namespace {


bool validLength(uint32_t length) { return length >= 1 && length <= platform::kMaxPath - 1; }

bool fail(char* out) {
  out[0] = '\0';
  return false;
}

}  // namespace

bool systemTempFolder(char* out) {
  platform::FileSystem& fs = platform::fileSystem();
  char windows[platform::kMaxPath] = {};
  char saved[platform::kMaxPath] = {};
  if (!validLength(fs.windowsDirectory(windows, platform::kMaxPath))) return fail(out);
  if (!validLength(fs.currentDirectory(saved, platform::kMaxPath))) return fail(out);
  if (!fs.setCurrentDirectory(windows)) return fail(out);
  // A relative TMP or TEMP then resolves inside the Windows folder, never in wherever we were.
  const uint32_t length = fs.tempPath(out, platform::kMaxPath);
  const bool restored = fs.setCurrentDirectory(saved);
  if (!restored || !validLength(length)) return fail(out);
  if (!fs.pathExists(out)) std::memcpy(out, windows, std::strlen(windows) + 1);
  if (!platform::pathService().addBackslash(out)) return fail(out);
  return true;
}

bool createWorkFolder(char* out) {
  platform::FileSystem& fs = platform::fileSystem();
  char temp[platform::kMaxPath] = {};
  if (!systemTempFolder(temp)) return fail(out);
  if (fs.tempFileName(temp, "~KM", out) == 0) return fail(out);
  fs.deleteFile(out);
  // The temporary folder belongs to the user: a folder that inherited its permissions would let
  // any process of the user change what the elevated extraction writes and the copy step installs.
  // Without the private DACL, or without the hold that keeps the folder from being swapped for
  // another, there is no work folder at all.
  platform::AdminFolders& admin = platform::adminFolders();
  if (!admin.create(out, true)) return fail(out);
  if (!fs.pathExists(out) || !platform::pathService().addBackslash(out)) {
    admin.release(out);
    (void)admin.removeTree(out);
    return fail(out);
  }
  return true;
}

void deleteWorkFolder(const char* path) {
  char folder[platform::kMaxPath] = {};
  const size_t length = std::strlen(path);
  if (length == 0 || length >= platform::kMaxPath) return;
  std::memcpy(folder, path, length + 1);
  platform::pathService().removeBackslash(folder);
  platform::AdminFolders& admin = platform::adminFolders();
  // The hold was taken on the path without its backslash (createWorkFolder's out before it got one).
  admin.release(folder);
  (void)admin.removeTree(folder);
}

}  // namespace kz
