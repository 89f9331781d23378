// Steps that the keyboard, registry-value, picker and code-page scenarios share.
#include "flows.h"

#include <windows.h>

#include <dlgs.h>

#include "system.h"

namespace e2e {

std::string locationLineShowing(const std::string& shownFolder) {
  return "Location of the main folder of Kestrome : \"" + shownFolder + "\"";
}

std::string completedLogAfter(const std::string& firstLine) {
  return firstLine +
         "\r\n\r\nInitializing......Ok."
         "\r\nDecompressing files......Ok."
         "\r\nTesting files compatibility......Ok."
         "\r\nCopying files......Ok." +
         kInstallCompleted;
}

std::string mergeUpdate(Env& env) {
  const std::string folder = join(env.root, "tool");
  makeFolders(folder);
  const std::string updater = join(folder, "kestrome_update.exe");
  const std::string target = join(folder, "kaem_update611.exe");
  CopyFileA(env.updater.c_str(), updater.c_str(), FALSE);
  Process process;
  if (!env.check.that(process.start(updater, "MERGE_KZ6_FILE:\"" + join(env.root, "update.kz6") + "\""),
                      "the merge starts")) {
    return "";
  }
  HWND box = waitMessageBox(process.id(), kMergeCaption);
  if (!env.check.that(box != nullptr, "the merge reports in a message box")) {
    process.kill();
    return "";
  }
  const bool merged = env.check.that(itemText(box, kMessageText).find("SUCCESSFUL") != std::string::npos,
                                     "the merge succeeds: " + visible(itemText(box, kMessageText)));
  press(box, IDOK);
  env.check.that(process.waitExit(), "the merge run ends");
  process.kill();
  return merged && pathExists(target) ? target : "";
}

void pressKey(HWND dialog, UINT virtualKey) {
  HWND target = focusedWindow(dialog);
  if (target == nullptr) target = dialog;
  const UINT scan = MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC);
  PostMessageA(target, WM_KEYDOWN, virtualKey, 1 | (static_cast<LPARAM>(scan) << 16));
  // Bits 30 and 31 of a key-up: the key was down and is being released.
  const auto keyUp = static_cast<LPARAM>(static_cast<ULONG_PTR>(1 | (scan << 16) | (3u << 30)));
  PostMessageA(target, WM_KEYUP, virtualKey, keyUp);
}

HWND openPickerOf(Env& env, HWND dialog, DWORD pid) {
  press(dialog, KZ_IDC_MAIN_FOLDER);
  HWND picker = waitDialog(pid, kPickerTitle);
  env.check.that(picker != nullptr, "the picker opens");
  return picker;
}

void typeFileName(HWND picker, const std::string& fileName) {
  HWND field = GetDlgItem(picker, edt1) != nullptr ? GetDlgItem(picker, edt1) : GetDlgItem(picker, cmb13);
  SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(fileName.c_str()));
}

void chooseThrough(HWND picker, const std::string& fileName) {
  typeFileName(picker, fileName);
  press(picker, IDOK);
}

bool pickerClosed(Env& env, DWORD pid, const std::string& what) {
  return env.check.that(waitUntil([&] { return findDialog(pid, kPickerTitle) == nullptr; }), what);
}

bool pickThroughFileName(Env& env, HWND dialog, DWORD pid, const std::string& fileName) {
  HWND picker = openPickerOf(env, dialog, pid);
  if (picker == nullptr) return false;
  chooseThrough(picker, fileName);
  return pickerClosed(env, pid, "OK closes the picker");
}

HWND openOverProduct(Env& env, Process& process, const std::string& product, const std::string& skip) {
  makeProductFolders(product, skip);
  setRegistryString(HKEY_LOCAL_MACHINE, kMainFolderValue, product);
  HWND dialog = openMainDialog(env, process);
  if (dialog == nullptr) process.kill();
  return dialog;
}

std::string installAndWait(HWND dialog) {
  press(dialog, KZ_IDC_INSTALL);
  return waitRunEnd(dialog);
}

void expectInstallsInto(Env& env, HWND dialog, Process& process, const std::string& mainFolder,
                        const std::string& shownLine) {
  env.check.equal(visible(itemText(dialog, KZ_IDC_LOG)), visible(shownLine), "the folder validates");
  env.check.equal(visible(installAndWait(dialog)), visible(completedLogAfter(shownLine)), "the install completes");
  env.check.equal(visible(readRegistryString(HKEY_LOCAL_MACHINE, kMainFolderValue).value_or("<none>")),
                  visible(mainFolder), "the folder is recorded machine-wide as given");
  closeWithoutQuestionAsked(env, dialog, process);
}

void closeWithoutQuestionAsked(Env& env, HWND dialog, Process& process) {
  press(dialog, KZ_IDC_QUIT);
  bool asked = false;
  const bool ended = waitUntil(
      [&] {
        if (HWND box = findDialog(process.id(), kQuitCaption)) {
          asked = true;
          press(box, IDYES);
        }
        return process.waitExit(0);
      },
      5000);
  env.check.that(!asked, "no question after a completed install");
  env.check.that(ended, "Close ends the updater at once");
  process.kill();
}

}  // namespace e2e
