// The main dialog's own behaviour: quitting, the About box, a second instance, the work folder.
#include <algorithm>

#include "scenario.h"
#include "system.h"

namespace e2e {
namespace {

// Watches a started instance until it ends: false when it shows a window of its own meanwhile
// (the window is then closed by ending the process) or does not end within the usual wait.
bool endsWithoutWindow(Process& process) {
  bool showed = false;
  const bool ended = waitUntil([&] {
    if (visibleWindowCount(process.id()) > 0) showed = true;
    return process.waitExit(0);
  });
  if (!ended) process.kill();
  return ended && !showed;
}

}  // namespace

// Quit before any install asks first with No preselected; No keeps the dialog and its log, and
// the close box asks the same question; Yes ends the updater.
E2E_SCENARIO(quit_asks_no_then_yes) {
  Process process;
  HWND dialog = openMainDialog(env, process);
  if (dialog == nullptr) return process.kill();
  const std::string log = itemText(dialog, KZ_IDC_LOG);

  press(dialog, KZ_IDC_QUIT);
  HWND box = waitMessageBox(process.id(), kQuitCaption);
  if (!env.check.that(box != nullptr, "Quit shows the question")) return process.kill();
  env.check.equal(itemText(box, kMessageText), kQuitQuestion, "question text");
  env.check.that(isDefaultButton(box, IDNO) && !isDefaultButton(box, IDYES), "No is the default answer");
  env.check.equal(focusedId(box), IDNO, "focus on No");
  press(box, IDNO);
  env.check.that(waitUntil([&] { return findDialog(process.id(), kQuitCaption) == nullptr; }), "No closes the box");
  Sleep(300);
  env.check.that(IsWindow(dialog) && !process.waitExit(0), "the dialog stays after No");
  env.check.equal(itemText(dialog, KZ_IDC_LOG), log, "the log is unchanged after No");

  systemCommand(dialog, SC_CLOSE);
  box = waitMessageBox(process.id(), kQuitCaption);
  if (!env.check.that(box != nullptr, "the close box asks the same question")) return process.kill();
  press(box, IDYES);
  env.check.that(process.waitExit(), "Yes ends the updater");
  process.kill();
}

// The window itself: the log is read-only, Install is the default button, the dialog shows in
// the task bar, and it minimises and restores. (Wine answers neither WM_GETICON nor GetSystemMenu
// for another process's window; the icon resource is checked in the image. A minimised dialog has
// an empty client area here, so the icon it paints there cannot be seen from outside.)
E2E_SCENARIO(main_dialog_chrome) {
  Process process;
  HWND dialog = openMainDialog(env, process);
  if (dialog == nullptr) return process.kill();
  env.check.that((GetWindowLongA(GetDlgItem(dialog, KZ_IDC_LOG), GWL_STYLE) & ES_READONLY) != 0, "the log is read-only");
  env.check.that(isDefaultButton(dialog, KZ_IDC_INSTALL), "Install is the default button");
  env.check.that((GetWindowLongA(dialog, GWL_EXSTYLE) & WS_EX_APPWINDOW) != 0, "shown in the task bar");
  const std::string log = itemText(dialog, KZ_IDC_LOG);
  systemCommand(dialog, SC_MINIMIZE);
  env.check.that(waitUntil([&] { return IsIconic(dialog) != FALSE; }, 5000), "the dialog minimises");
  systemCommand(dialog, SC_RESTORE);
  env.check.that(waitUntil([&] { return IsIconic(dialog) == FALSE && IsWindowVisible(dialog) != FALSE; }, 5000),
                 "the dialog restores");
  env.check.equal(itemText(dialog, KZ_IDC_LOG), log, "the log is as it was");
  if (!quitWithYes(env, dialog, process)) process.kill();
}

// The About box repeats the dialog's title and shows the maker's notice, with the focus on OK.
E2E_SCENARIO(about_box) {
  Process process;
  HWND dialog = openMainDialog(env, process);
  if (dialog == nullptr) return process.kill();
  press(dialog, KZ_IDC_ABOUT);
  HWND about = waitDialog(process.id(), "About");
  if (!env.check.that(about != nullptr, "About opens")) return process.kill();
  env.check.equal(itemText(about, KZ_IDC_ABOUT_TITLE), windowText(dialog), "the About box's first line is the title");
  const std::string notice = itemText(about, 203);
  env.check.that(notice.find("RVN") != std::string::npos && notice.find("\r\n\r\n") != std::string::npos,
                 "the notice names the maker in paragraphs: " + visible(notice));
  env.check.equal(focusedId(about), IDCANCEL, "focus on OK (id 2)");
  env.check.equal(itemText(about, IDCANCEL), "&OK", "OK button");
  env.check.that(GetWindow(about, GW_OWNER) == dialog, "the main dialog owns the About box");
  press(about, IDCANCEL);
  env.check.that(waitUntil([&] { return findDialog(process.id(), "About") == nullptr; }), "OK closes About");
  env.check.that(IsWindow(dialog) != FALSE, "the main dialog stays");
  if (!quitWithYes(env, dialog, process)) process.kill();
}

// A second instance exits at once without a window; the first, minimised, is restored and comes
// to the front; with the About box open, the About box comes to the front.
E2E_SCENARIO(second_instance_activates_first) {
  Process first;
  HWND dialog = openMainDialog(env, first);
  if (dialog == nullptr) return first.kill();

  systemCommand(dialog, SC_MINIMIZE);
  env.check.that(waitUntil([&] { return IsIconic(dialog) != FALSE; }, 5000), "the dialog is minimised");
  Process second;
  env.check.that(second.start(env.updater, ""), "the second instance starts");
  env.check.that(endsWithoutWindow(second), "the second instance ends by itself, showing no window");
  env.check.equal(static_cast<long long>(second.exitCode()), 0, "second instance exit code");
  env.check.that(waitUntil([&] { return IsIconic(dialog) == FALSE; }), "the first dialog is restored");
  env.check.that(waitUntil([&] { return GetForegroundWindow() == dialog; }), "the first dialog is in front");

  press(dialog, KZ_IDC_ABOUT);
  HWND about = waitDialog(first.id(), "About");
  if (!env.check.that(about != nullptr, "About opens")) return first.kill();
  SetForegroundWindow(GetDesktopWindow());
  Process third;
  env.check.that(third.start(env.updater, "") && endsWithoutWindow(third),
                 "a third instance ends by itself, showing no main dialog");
  env.check.that(waitUntil([&] { return GetForegroundWindow() == about; }), "the About box comes to the front");
  press(about, IDCANCEL);
  waitUntil([&] { return findDialog(first.id(), "About") == nullptr; });
  if (!quitWithYes(env, dialog, first)) first.kill();
}

// The dialog creates a work folder in the temporary folder, and it is gone once the updater ends.
E2E_SCENARIO(work_folder_removed_after_close) {
  const std::string temp = tempFolder();
  const auto before = folderEntries(temp);
  Process process;
  HWND dialog = openMainDialog(env, process);
  if (dialog == nullptr) return process.kill();
  const auto during = folderEntries(temp);
  std::vector<std::string> added;
  std::set_difference(during.begin(), during.end(), before.begin(), before.end(), std::back_inserter(added));
  env.check.equal(static_cast<long long>(added.size()), 1, "one work folder while the dialog is open");
  if (!added.empty()) {
    env.check.that((GetFileAttributesA(join(temp, added[0]).c_str()) & FILE_ATTRIBUTE_DIRECTORY) != 0,
                   "the work folder is a folder");
  }
  if (!quitWithYes(env, dialog, process)) return process.kill();
  env.check.that(folderEntries(temp) == before, "the temporary folder is as before");
}

}  // namespace e2e
