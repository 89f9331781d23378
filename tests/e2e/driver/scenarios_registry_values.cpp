// "Main Folder Path" values at the edges: empty, too long for the field, and a drive root. The
// runner maps drive K: to the scratch folder's product (prepare_main_folder_drive_root_installs).
#include "flows.h"
#include "system.h"

namespace e2e {

// A machine-wide value that holds only the empty string is a value: the main folder is unknown and
// the per-user value, a valid product, is not read.
E2E_SCENARIO(opening_machine_wide_empty_value) {
  const std::string product = join(env.root, "product");
  makeProductFolders(product);
  setRegistryString(HKEY_LOCAL_MACHINE, kMainFolderValue, "");
  setRegistryString(HKEY_CURRENT_USER, kMainFolderValue, product);
  Process process;
  HWND dialog = openMainDialog(env, process);
  if (dialog == nullptr) return process.kill();
  env.check.equal(itemText(dialog, KZ_IDC_LOG), locationLine("") + kNoMainFolderError, "the main folder is unknown");
  if (!quitWithYes(env, dialog, process)) process.kill();
}

// A machine-wide value longer than the main-folder field holds is refused whole, never cut short:
// it counts as absent, so the per-user value is used.
E2E_SCENARIO(opening_over_long_value_counts_as_absent) {
  const std::string product = join(env.root, "product");
  makeProductFolders(product);
  // 259 characters of a valid folder's path would fit; this one has 300.
  const std::string longValue = product + "\\" + std::string(300 - product.size() - 1, 'x');
  setRegistryString(HKEY_LOCAL_MACHINE, kMainFolderValue, longValue);
  setRegistryString(HKEY_CURRENT_USER, kMainFolderValue, product);
  Process process;
  HWND dialog = openMainDialog(env, process);
  if (dialog == nullptr) return process.kill();
  env.check.equal(itemText(dialog, KZ_IDC_LOG), locationLine(product), "the per-user folder is used");
  if (!quitWithYes(env, dialog, process)) process.kill();
}

// A drive root keeps its backslash: shown as K:\, installed into, and recorded as K:\.
E2E_SCENARIO(main_folder_drive_root_installs) {
  const std::string root = "K:\\";
  if (!env.check.that(pathExists("K:\\bin\\app01.exe"), "drive K: holds the product")) return;
  const std::string updater = mergeUpdate(env);
  if (updater.empty()) return;
  setRegistryString(HKEY_LOCAL_MACHINE, kMainFolderValue, root);
  Process process;
  HWND dialog = openMainDialog(env, process, updater);
  if (dialog == nullptr) return process.kill();
  expectInstallsInto(env, dialog, process, root, locationLineShowing(root));
}

}  // namespace e2e
