// The picker beyond a plain choice: browsing, the current directory, a drive root, and where it
// opens on the screen.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "flows.h"
#include "system.h"

namespace e2e {
namespace {

HWND folderFieldOf(HWND picker) { return GetDlgItem(FindWindowExA(picker, nullptr, "#32770", nullptr), 1002); }

// Browses to folder by typing it where the hidden file-name field takes it and pressing OK, as a
// user's typed folder name does; true when the folder field follows.
bool browseTo(Env& env, HWND picker, const std::string& folder) {
  chooseThrough(picker, folder);
  return env.check.that(waitUntil([&] { return windowText(folderFieldOf(picker)) == folder; }, 5000),
                        "the folder field follows the browsing: " + windowText(folderFieldOf(picker)));
}

std::string describe(const RECT& r) {
  char text[80];
  std::snprintf(text, sizeof text, "(%ld,%ld)-(%ld,%ld)", r.left, r.top, r.right, r.bottom);
  return text;
}

// Moves the main dialog, opens the picker, and returns its rectangle once it has settled.
RECT pickerRectWithDialogAt(Env& env, HWND dialog, DWORD pid, int x, int y, HWND& picker) {
  SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  RECT dialogRect{};
  waitUntil([&] { return GetWindowRect(dialog, &dialogRect) && dialogRect.left == x && dialogRect.top == y; }, 3000);
  picker = openPickerOf(env, dialog, pid);
  RECT r{};
  if (picker == nullptr) return r;
  // The picker is re-centred once more while it sizes itself into place; give that its second.
  Sleep(1200);
  GetWindowRect(picker, &r);
  return r;
}

void cancelPicker(HWND picker, DWORD pid) {
  press(picker, IDCANCEL);
  waitUntil([&] { return findDialog(pid, kPickerTitle) == nullptr; }, 5000);
}

}  // namespace

// Browsing moves the folder field, and OK chooses the folder browsed to, not the initial one.
// Browsing changes the process's current directory only while the picker is open: a main folder
// given relative to it still validates after a cancelled browse.
E2E_SCENARIO(folder_pick_browses_and_restores_directory) {
  const std::string product = join(env.root, "product");
  const std::string other = join(env.root, "other");
  makeProductFolders(product);
  makeProductFolders(other);
  makeFolders(join(env.root, "elsewhere"));
  // The updater starts in the scratch folder and knows its main folder by a relative path.
  SetCurrentDirectoryA(env.root.c_str());
  setRegistryString(HKEY_LOCAL_MACHINE, kMainFolderValue, "product");
  const std::string relativeLog = locationLine("product");
  {
    Process process;
    HWND dialog = openMainDialog(env, process);
    if (dialog == nullptr) return process.kill();
    HWND picker = openPickerOf(env, dialog, process.id());
    if (picker == nullptr) return process.kill();
    browseTo(env, picker, other);
    chooseThrough(picker, "a.b");
    pickerClosed(env, process.id(), "OK closes the picker");
    env.check.equal(itemText(dialog, KZ_IDC_LOG), locationLine(other), "the folder browsed to is chosen");
    env.check.that(waitUntil([&] { return focusedId(dialog) == KZ_IDC_INSTALL; }, 3000), "the focus moves to Install");
    if (!quitWithYes(env, dialog, process)) return process.kill();
  }

  Process process;
  HWND dialog = openMainDialog(env, process);
  if (dialog == nullptr) return process.kill();
  env.check.equal(itemText(dialog, KZ_IDC_LOG), relativeLog, "the relative main folder validates");
  HWND picker = openPickerOf(env, dialog, process.id());
  if (picker == nullptr) return process.kill();
  browseTo(env, picker, join(env.root, "elsewhere"));
  cancelPicker(picker, process.id());
  // This updater carries no package: once the folder has validated, Install stops at extraction.
  env.check.that(pressAndWait(dialog, KZ_IDC_INSTALL), "Install runs");
  const std::string afterBrowse = itemText(dialog, KZ_IDC_LOG);
  env.check.that(afterBrowse.rfind(relativeLog + "\r\n\r\nInitializing......Ok.", 0) == 0,
                 "after browsing, the relative folder still validates, so the current directory is back: " +
                     visible(afterBrowse));
  if (!quitWithYes(env, dialog, process)) process.kill();
}

// A drive root chosen in the picker keeps its backslash: shown as L:\, installed into, and
// recorded as L:\. The runner maps drive L: to the scratch folder's product.
E2E_SCENARIO(folder_pick_drive_root_installs) {
  const std::string root = "L:\\";
  if (!env.check.that(pathExists("L:\\bin\\app01.exe"), "drive L: holds the product")) return;
  const std::string updater = mergeUpdate(env);
  if (updater.empty()) return;
  Process process;
  HWND dialog = openMainDialog(env, process, updater);
  if (dialog == nullptr) return process.kill();
  if (!pickThroughFileName(env, dialog, process.id(), "L:\\a.b")) return process.kill();
  expectInstallsInto(env, dialog, process, root, locationLineShowing(root));
}

// The picker opens centred over the main dialog wherever that lies, and is pushed back inside the
// work area when centring would put part of it outside.
E2E_SCENARIO(folder_pick_centred_inside_work_area) {
  Process process;
  HWND dialog = openMainDialog(env, process);
  if (dialog == nullptr) return process.kill();
  RECT work{};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  RECT dialogRect{};
  GetWindowRect(dialog, &dialogRect);
  const int dialogWidth = dialogRect.right - dialogRect.left;
  const int dialogHeight = dialogRect.bottom - dialogRect.top;

  // Off the screen's centre, with room all round: centred over the dialog.
  HWND picker = nullptr;
  const int x = work.left + 40;
  const int y = work.top + 30;
  RECT r = pickerRectWithDialogAt(env, dialog, process.id(), x, y, picker);
  if (picker == nullptr) return process.kill();
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  const int expectedLeft = std::max<int>(work.left, x + (dialogWidth - width) / 2);
  const int expectedTop = std::max<int>(work.top, y + (dialogHeight - height) / 2);
  env.check.that(std::abs(r.left - expectedLeft) <= 1 && std::abs(r.top - expectedTop) <= 1,
                 "centred over the dialog: picker " + describe(r) + ", expected " +
                     describe(RECT{expectedLeft, expectedTop, expectedLeft + width, expectedTop + height}));
  cancelPicker(picker, process.id());

  // The dialog reaches past the bottom-right corner: the picker ends at the work area's edges.
  r = pickerRectWithDialogAt(env, dialog, process.id(), work.right - dialogWidth / 3, work.bottom - dialogHeight / 3, picker);
  if (picker == nullptr) return process.kill();
  env.check.that(r.right == work.right && r.bottom == work.bottom,
                 "kept inside the work area " + describe(work) + ": picker " + describe(r));
  cancelPicker(picker, process.id());
  if (!quitWithYes(env, dialog, process)) process.kill();
}

}  // namespace e2e
