// Start-up in its fixed order; each early end leaves the process with nothing else done.
#include "startup.h"

#include <commctrl.h>
#include <fcntl.h>
#include <shlwapi.h>
#include <stdlib.h>

#include <cstring>

#include "app/main_folder_lookup.h"
#include "app/merge_front.h"
#include "app/string_table.h"
#include "app/update_app.h"
#include "package/work_folder.h"
#include "update_dialog.h"

namespace kz::win {
namespace {

constexpr char kSharedName[] = "AFX_UPDATER_EXE__5D2B7C41_8E03_4A6F_B1C9_72E4F0A3D856__";

void showInitError(uint16_t textId) {
  MessageBoxA(nullptr, strings::lookup(textId), strings::lookup(strings::kInitErrorCaption), MB_ICONERROR);
}

// Removed for good, by a walk of our own that deletes a link met inside instead of following it:
// the shell's deletion makes no promise about the junctions it meets.
void removeWorkFolder(const UpdateApp& app) {
  if (!workFolderMayBeDeleted(app) || !PathFileExistsA(app.workFolder)) return;
  deleteWorkFolder(app.workFolder);
}

}  // namespace

void runStartup(HINSTANCE instance, const char* commandLine) {
  _fmode = _O_BINARY;  // every stream this process opens is binary unless it says otherwise

  const UINT message = RegisterWindowMessageA(kSharedName);
  if (message == 0) {
    showInitError(strings::kInitErrorMessage);
    return;
  }
  activationMessage() = message;

  // The handle is never closed: the mutex marks this instance for as long as the process lives.
  HANDLE mutex = CreateMutexA(nullptr, FALSE, kSharedName);
  if (mutex != nullptr && GetLastError() == ERROR_ALREADY_EXISTS) {
    // Posted, not sent, so this instance never waits for the first one.
    PostMessageA(HWND_BROADCAST, message, 0, 0);
    return;
  }

  UpdateApp& app = updateApp();
  // A name that fills the whole buffer has been cut short (and may lack its NUL): unusable too.
  const DWORD moduleLength = GetModuleFileNameA(nullptr, app.modulePath, platform::kMaxPath);
  if (moduleLength == 0 || moduleLength >= platform::kMaxPath) {
    app.modulePath[0] = '\0';
    showInitError(strings::kInitErrorModule);
    return;
  }
  std::memcpy(app.moduleFolder, app.modulePath, platform::kMaxPath);
  PathRemoveFileSpecA(app.moduleFolder);
  char targetName[platform::kMaxPath];
  std::memcpy(app.mergeTargetPath, app.moduleFolder, platform::kMaxPath);
  // A target name that does not fit is left empty, so that a merge fails instead of writing elsewhere.
  if (!PathAppendA(app.mergeTargetPath, mergeTargetFileName(app, targetName, platform::kMaxPath))) {
    app.mergeTargetPath[0] = '\0';
  }
  lookUpMainFolder(app.mainFolder);

  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  if (!runMergeFront(app, commandLine)) runUpdateDialog(instance);
  removeWorkFolder(app);
}

}  // namespace kz::win
