// The dialogs under the keyboard, and the main dialog when it has no work folder.
#include "flows.h"
#include "system.h"

namespace e2e {
namespace {

constexpr char kNoWorkFolderText[] =
    "ERROR:\r\n\r\nCan not create a temporary folder to decompress the new files.\r\n"
    "(Maybe not enough free space on the system hard disk.)";

}  // namespace

// Enter presses the default button, Install, which validates the main folder again; Escape asks
// the quit question; Tab walks the controls in their template order and comes back round.
E2E_SCENARIO(keyboard_enter_escape_and_tab) {
  const std::string product = join(env.root, "product");
  Process process;
  HWND dialog = openOverProduct(env, process, product);
  if (dialog == nullptr) return;
  env.check.equal(itemText(dialog, KZ_IDC_LOG), locationLine(product), "the folder is valid at opening");

  // The folder breaks meanwhile: only a new validation can tell.
  removeTree(join(product, "scenes.set"));
  pressKey(dialog, VK_RETURN);
  env.check.that(waitUntil([&] { return itemText(dialog, KZ_IDC_LOG) == locationLine(product) + kCorruptMainFolderError; }, 5000),
                 "Enter runs Install, which reports the broken folder: " + visible(itemText(dialog, KZ_IDC_LOG)));

  const int expectedOrder[] = {KZ_IDC_ABOUT, KZ_IDC_QUIT, KZ_IDC_LOG, KZ_IDC_MAIN_FOLDER, KZ_IDC_INSTALL};
  std::string walked = std::to_string(focusedId(dialog));
  bool inOrder = focusedId(dialog) == KZ_IDC_INSTALL;
  for (int id : expectedOrder) {
    pressKey(dialog, VK_TAB);
    const bool moved = waitUntil([&] { return focusedId(dialog) == id; }, 2000);
    walked += ' ';
    walked += std::to_string(focusedId(dialog));
    inOrder = inOrder && moved;
  }
  env.check.that(inOrder, "Tab walks Install, About, Quit, the log, the main-folder button, Install: " + walked);

  pressKey(dialog, VK_ESCAPE);
  HWND box = waitMessageBox(process.id(), kQuitCaption, 5000);
  if (!env.check.that(box != nullptr, "Escape asks the quit question")) return process.kill();
  press(box, IDYES);
  env.check.that(process.waitExit(), "Yes ends the updater");
  process.kill();
}

// Escape and the close box end the About box as its OK button does.
E2E_SCENARIO(about_box_escape_and_close_box) {
  Process process;
  HWND dialog = openMainDialog(env, process);
  if (dialog == nullptr) return process.kill();
  auto aboutGone = [&] { return waitUntil([&] { return findDialog(process.id(), "About") == nullptr; }, 5000); };

  press(dialog, KZ_IDC_ABOUT);
  HWND about = waitDialog(process.id(), "About");
  if (!env.check.that(about != nullptr, "About opens")) return process.kill();
  pressKey(about, VK_ESCAPE);
  env.check.that(aboutGone(), "Escape closes About");

  press(dialog, KZ_IDC_ABOUT);
  about = waitDialog(process.id(), "About");
  if (!env.check.that(about != nullptr, "About opens again")) return process.kill();
  systemCommand(about, SC_CLOSE);
  env.check.that(aboutGone(), "the close box closes About");
  env.check.that(IsWindow(dialog) && !process.waitExit(0), "the main dialog stays");
  env.check.that(findDialog(process.id(), kQuitCaption) == nullptr, "closing About asks nothing");
  if (!quitWithYes(env, dialog, process)) process.kill();
}

// With a temporary folder where no work folder can be made, the log shows only that error,
// Install and the main-folder button are disabled, the focus is on Quit, and quitting still asks.
// A temporary folder that does not exist is replaced by the Windows folder; one whose path does
// not fit a path buffer cannot be used at all.
E2E_SCENARIO(no_work_folder_state) {
  const std::string product = join(env.root, "product");
  makeProductFolders(product);
  setRegistryString(HKEY_LOCAL_MACHINE, kMainFolderValue, product);
  const std::string temp = join(env.root, std::string(280, 't'));
  SetEnvironmentVariableA("TMP", temp.c_str());
  SetEnvironmentVariableA("TEMP", temp.c_str());
  const auto windowsBefore = folderEntries("C:\\windows");
  Process process;
  HWND dialog = openMainDialog(env, process);
  if (dialog == nullptr) return process.kill();
  env.check.equal(visible(itemText(dialog, KZ_IDC_LOG)), visible(kNoWorkFolderText), "the log holds only text 1021");
  env.check.that(!itemEnabled(dialog, KZ_IDC_INSTALL), "Install is disabled");
  env.check.that(!itemEnabled(dialog, KZ_IDC_MAIN_FOLDER), "the main-folder button is disabled");
  env.check.that(itemEnabled(dialog, KZ_IDC_ABOUT) && itemEnabled(dialog, KZ_IDC_QUIT), "About and Quit stay enabled");
  env.check.equal(focusedId(dialog), KZ_IDC_QUIT, "focus on Quit");
  env.check.that(folderEntries("C:\\windows") == windowsBefore, "nothing is made in the Windows folder instead");
  if (!quitWithYes(env, dialog, process)) process.kill();
}

}  // namespace e2e
