// A main folder named in a double-byte system code page (932): the runner starts the driver, and so
// the updater, under a Japanese locale. The folder's name is the one character "表", 0x95 0x5C in
// code page 932, whose second byte has the value of a backslash; on the Unix side of the prefix it
// is the UTF-8 spelling of the same character.
#include <set>
#include <string>

#include "flows.h"
#include "system.h"

namespace e2e {
namespace {

constexpr char kTableCharacter[] = "\x95\x5C";  // "表"

}  // namespace

// Found in the registry (machine-wide, and per-user with a trailing backslash) the folder
// validates; chosen in the picker it validates again, and the update installs into it and
// records it machine-wide.
E2E_SCENARIO(double_byte_main_folder_installs) {
  if (!env.check.equal(static_cast<long long>(GetACP()), 932, "the system code page")) return;
  const std::string product = env.root + "\\" + kTableCharacter;
  const std::string shown = locationLineShowing(product + "\\");
  if (!env.check.that(pathExists(product + "\\bin\\app01.exe"), "the product lies in the folder " + product)) return;
  const std::string updater = mergeUpdate(env);
  if (updater.empty()) return;

  // Machine-wide as it stands, then per-user with a trailing backslash, which alone goes.
  setRegistryString(HKEY_LOCAL_MACHINE, kMainFolderValue, product);
  {
    Process process;
    HWND dialog = openMainDialog(env, process, updater);
    if (dialog == nullptr) return process.kill();
    env.check.equal(visible(itemText(dialog, KZ_IDC_LOG)), visible(shown), "the machine-wide folder validates");
    if (!quitWithYes(env, dialog, process)) return process.kill();
  }
  forgetMainFolder();
  setRegistryString(HKEY_CURRENT_USER, kMainFolderValue, product + "\\");
  {
    Process process;
    HWND dialog = openMainDialog(env, process, updater);
    if (dialog == nullptr) return process.kill();
    env.check.equal(visible(itemText(dialog, KZ_IDC_LOG)), visible(shown), "the registry's folder validates");
    env.check.equal(focusedId(dialog), KZ_IDC_INSTALL, "focus on Install");
    if (!quitWithYes(env, dialog, process)) return process.kill();
  }

  forgetMainFolder();
  Process process;
  HWND dialog = openMainDialog(env, process, updater);
  if (dialog == nullptr) return process.kill();
  env.check.equal(itemText(dialog, KZ_IDC_LOG), locationLine("") + kNoMainFolderError, "no main folder known");
  if (!pickThroughFileName(env, dialog, process.id(), product + "\\a.b")) return process.kill();
  env.check.that(waitUntil([&] { return focusedId(dialog) == KZ_IDC_INSTALL; }, 3000), "the focus moves to Install");
  expectInstallsInto(env, dialog, process, product, shown);
  // Nothing was made beside the main folder (say, a folder named after half of its character).
  const std::set<std::string> expected = {kTableCharacter, "tool", "update.kz6"};
  std::string found;
  for (const std::string& name : folderEntries(env.root)) found += " [" + visible(name) + "]";
  env.check.that(folderEntries(env.root) == expected, "the scratch folder holds only the product, the tool and the update:" + found);
}

}  // namespace e2e
