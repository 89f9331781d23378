// The main-folder picker: its look, choosing a folder, and cancelling.
#include <windows.h>

#include <commdlg.h>
#include <dlgs.h>

#include "flows.h"
#include "system.h"

namespace e2e {
namespace {

// Every child of window with its id, class, visibility and text, for failure messages.
std::string describeChildren(HWND window) {
  std::string out;
  for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    char className[64] = {};
    GetClassNameA(child, className, sizeof(className));
    out += "\n      " + std::to_string(GetDlgCtrlID(child)) + " " + className + (IsWindowVisible(child) ? " visible" : " hidden") +
           " \"" + visible(windowText(child)) + "\"";
  }
  return out;
}

// The hook's child dialog inside the picker, which holds the folder field 1002.
HWND childDialog(HWND picker) { return FindWindowExA(picker, nullptr, "#32770", nullptr); }

// Puts the focus on the main-folder button, as a click by hand would, so that moves are visible.
void focusMainFolderButton(HWND dialog) {
  PostMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, KZ_IDC_MAIN_FOLDER)), TRUE);
  waitUntil([&] { return focusedId(dialog) == KZ_IDC_MAIN_FOLDER; }, 3000);
}

// Opens the picker by the main-folder button, focused first as a click by hand would (when asked).
HWND openPicker(Env& env, HWND dialog, DWORD pid, bool focusFirst = true) {
  if (focusFirst) focusMainFolderButton(dialog);
  return openPickerOf(env, dialog, pid);
}

// The picker's look: OK reads "OK", the file-name row is the read-only folder field labelled
// "Dossier", and there is no file-type choice.
void expectPickerLook(Env& env, HWND picker) {
  const std::string layout = describeChildren(picker);
  env.check.equal(itemText(picker, IDOK), "OK", "the OK button's text" + layout);
  env.check.equal(itemText(picker, stc3), "Dossier", "the folder label");
  env.check.that(!itemVisible(picker, edt1) && !itemVisible(picker, cmb13), "the file-name field is hidden" + layout);
  env.check.that(!itemVisible(picker, stc2) && !itemVisible(picker, cmb1), "the file-type label and choice are hidden");
  HWND child = childDialog(picker);
  env.check.that(child != nullptr && itemVisible(child, 1002), "the folder field shows" + layout);
  if (child == nullptr) return;
  HWND folderField = GetDlgItem(child, 1002);
  const LONG style = GetWindowLongA(folderField, GWL_STYLE);
  env.check.that((style & ES_READONLY) != 0, "the folder field is read-only");
  // It lies where the hidden file-name field lies.
  RECT field{};
  RECT name{};
  GetWindowRect(folderField, &field);
  GetWindowRect(GetDlgItem(picker, itemVisible(picker, cmb13) || GetDlgItem(picker, edt1) == nullptr ? cmb13 : edt1), &name);
  env.check.that(field.left == name.left && field.top == name.top, "the folder field lies over the file-name field");
  const std::string shown = itemText(child, 1002);
  env.check.that(!shown.empty() && pathExists(shown), "the folder field shows the browsed folder: " + shown);
}

}  // namespace

// With no known main folder, choosing the product's folder rewrites the log with its location
// and moves the focus to Install.
E2E_SCENARIO(folder_pick_chooses_folder) {
  const std::string product = join(env.root, "product");
  makeProductFolders(product);
  Process process;
  HWND dialog = openMainDialog(env, process);
  if (dialog == nullptr) return process.kill();
  env.check.equal(itemText(dialog, KZ_IDC_LOG), locationLine("") + kNoMainFolderError, "opening log");
  HWND picker = openPicker(env, dialog, process.id());
  if (picker == nullptr) return process.kill();
  expectPickerLook(env, picker);
  // Where the picker opens is folder_pick_centred_inside_work_area's concern.
  chooseThrough(picker, join(product, "a.b"));
  pickerClosed(env, process.id(), "OK closes the picker");
  env.check.equal(itemText(dialog, KZ_IDC_LOG), locationLine(product), "the log is rewritten for the chosen folder");
  env.check.that(waitUntil([&] { return focusedId(dialog) == KZ_IDC_INSTALL; }, 3000), "the focus moves to Install");
  if (!quitWithYes(env, dialog, process)) process.kill();
}

// Pressing OK at once chooses the folder the picker opened in, the current main folder.
E2E_SCENARIO(folder_pick_ok_keeps_initial_folder) {
  const std::string product = join(env.root, "product");
  Process process;
  HWND dialog = openOverProduct(env, process, product);
  if (dialog == nullptr) return;
  HWND picker = openPicker(env, dialog, process.id());
  if (picker == nullptr) return process.kill();
  HWND child = childDialog(picker);
  env.check.equal(child ? itemText(child, 1002) : "", product, "the picker opens in the main folder");
  press(picker, IDOK);
  pickerClosed(env, process.id(), "OK closes the picker");
  env.check.equal(itemText(dialog, KZ_IDC_LOG), locationLine(product), "the log names the same folder");
  env.check.that(waitUntil([&] { return focusedId(dialog) == KZ_IDC_INSTALL; }, 3000), "the focus moves to Install");
  if (!quitWithYes(env, dialog, process)) process.kill();
}

// Cancelling the picker changes nothing: the log, the focus and the main folder stay.
E2E_SCENARIO(folder_pick_cancel_changes_nothing) {
  Process process;
  HWND dialog = openOverProduct(env, process, join(env.root, "broken"), "anim");
  if (dialog == nullptr) return;
  const std::string log = itemText(dialog, KZ_IDC_LOG);
  HWND picker = openPicker(env, dialog, process.id());
  if (picker == nullptr) return process.kill();
  // Browsing elsewhere first, then cancelling.
  chooseThrough(picker, env.root);
  Sleep(300);
  press(picker, IDCANCEL);
  pickerClosed(env, process.id(), "Cancel closes the picker");
  Sleep(200);
  env.check.equal(itemText(dialog, KZ_IDC_LOG), log, "the log is untouched");
  env.check.equal(focusedId(dialog), KZ_IDC_MAIN_FOLDER, "the focus stays");
  // The main folder is still the broken one: Install validates it again.
  env.check.that(pressAndWait(dialog, KZ_IDC_INSTALL), "Install runs");
  env.check.equal(itemText(dialog, KZ_IDC_LOG), log, "Install validates the same folder");
  if (!quitWithYes(env, dialog, process)) process.kill();
}

// OK on a location that has no path on disk shows an empty warning box with the picker's title,
// and the picker stays open; the main folder does not change.
E2E_SCENARIO(folder_pick_warns_for_location_without_path) {
  const std::string product = join(env.root, "product");
  Process process;
  HWND dialog = openOverProduct(env, process, product);
  if (dialog == nullptr) return;
  const std::string log = itemText(dialog, KZ_IDC_LOG);
  HWND picker = openPicker(env, dialog, process.id(), false);
  if (picker == nullptr) return process.kill();
  chooseThrough(picker, join(join(env.root, "nowhere"), "a.b"));
  HWND box = nullptr;
  waitUntil([&] { return (box = findDialogOtherThan(process.id(), kPickerTitle, picker)) != nullptr; });
  if (!env.check.that(box != nullptr, "a warning box with the picker's title" + describeChildren(picker))) {
    return process.kill();
  }
  env.check.equal(itemText(box, kMessageText), "", "the warning has no text");
  // Owned by the hook's child window, which makes the picker, its top-level window, the owner.
  env.check.that(GetWindow(box, GW_OWNER) == picker, "the picker owns the warning");
  press(box, IDOK);
  env.check.that(waitUntil([&] { return findDialogOtherThan(process.id(), kPickerTitle, picker) == nullptr; }),
                 "the warning closes");
  env.check.that(IsWindowVisible(picker) != FALSE, "the picker stays open");
  press(picker, IDCANCEL);
  pickerClosed(env, process.id(), "Cancel closes the picker");
  env.check.equal(itemText(dialog, KZ_IDC_LOG), log, "the log is untouched");
  if (!quitWithYes(env, dialog, process)) process.kill();
}

// Choosing a folder that is not a product installation still replaces the main folder: the log
// reports it, the focus stays, and Install validates the new folder again.
E2E_SCENARIO(folder_pick_invalid_choice_replaces_main_folder) {
  const std::string broken = join(env.root, "broken");
  makeProductFolders(broken, "scenes.set");
  Process process;
  HWND dialog = openOverProduct(env, process, join(env.root, "product"));
  if (dialog == nullptr) return;
  HWND picker = openPicker(env, dialog, process.id());
  if (picker == nullptr) return process.kill();
  chooseThrough(picker, join(broken, "a.b"));
  pickerClosed(env, process.id(), "OK closes the picker");
  const std::string expected = locationLine(broken) + kCorruptMainFolderError;
  env.check.equal(itemText(dialog, KZ_IDC_LOG), expected, "the log reports the chosen folder");
  env.check.equal(focusedId(dialog), KZ_IDC_MAIN_FOLDER, "the focus does not move");
  env.check.that(pressAndWait(dialog, KZ_IDC_INSTALL), "Install runs");
  env.check.equal(itemText(dialog, KZ_IDC_LOG), expected, "Install validates the chosen folder");
  env.check.equal(itemText(dialog, KZ_IDC_QUIT), "&Quit", "nothing else changed");
  if (!quitWithYes(env, dialog, process)) process.kill();
}

}  // namespace e2e
