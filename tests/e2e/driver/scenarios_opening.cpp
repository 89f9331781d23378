// The dialog as it opens: title, first log lines and focus for each way the main folder is known.
#include "scenario.h"
#include "system.h"

namespace e2e {
namespace {

// Opens the updater, checks what a user sees first, and quits.
void expectOpening(Env& env, const std::string& expectedLog) {
  Process process;
  HWND dialog = openMainDialog(env, process);
  if (dialog == nullptr) return process.kill();
  // The validation runs inside the initialisation, so the log is complete once the dialog shows.
  env.check.equal(itemText(dialog, KZ_IDC_LOG), expectedLog, "opening log");
  env.check.equal(focusedId(dialog), KZ_IDC_INSTALL, "focus on Install");
  env.check.that(itemEnabled(dialog, KZ_IDC_INSTALL) && itemEnabled(dialog, KZ_IDC_MAIN_FOLDER),
                 "Install and the main-folder button are enabled");
  env.check.equal(itemText(dialog, KZ_IDC_QUIT), "&Quit", "button 2 caption");
  if (!quitWithYes(env, dialog, process)) process.kill();
}

}  // namespace

// A machine-wide main folder that holds every data sub-folder is shown quoted, with no error.
E2E_SCENARIO(opening_machine_wide_valid) {
  const std::string product = join(env.root, "product");
  makeProductFolders(product);
  setRegistryString(HKEY_LOCAL_MACHINE, kMainFolderValue, product);
  expectOpening(env, locationLine(product));
}

// A per-user main folder is used when there is no machine-wide one; one trailing backslash is
// dropped (a value ending in two shows one, so the removal is visible: the location line always
// ends in a backslash) and a missing sub-folder is reported as a corrupt installation.
E2E_SCENARIO(opening_per_user_invalid) {
  const std::string broken = join(env.root, "broken");
  makeProductFolders(broken, "scenes.set");
  setRegistryString(HKEY_CURRENT_USER, kMainFolderValue, broken + "\\\\");
  expectOpening(env, "Location of the main folder of Kestrome : \"" + broken + "\\\"" + kCorruptMainFolderError);
}

// With both hives set, the machine-wide value wins whatever the per-user one holds.
E2E_SCENARIO(opening_both_hives_machine_wins) {
  const std::string product = join(env.root, "product");
  makeProductFolders(product);
  setRegistryString(HKEY_LOCAL_MACHINE, kMainFolderValue, product);
  setRegistryString(HKEY_CURRENT_USER, kMainFolderValue, join(env.root, "elsewhere"));
  expectOpening(env, locationLine(product));
}

// With no value in either hive the log says the installation is unknown.
E2E_SCENARIO(opening_unknown_main_folder) { expectOpening(env, locationLine("") + kNoMainFolderError); }

}  // namespace e2e
