// The merge command through the updater's own command line, and installs by the merged updater.
// The runner has put the update's form (update.kz6, damaged.kz6) and a 6.09 product (product\)
// into the scratch folder before these scenarios start.
#include <algorithm>
#include <set>
#include <vector>

#include "flows.h"
#include "scenario.h"
#include "system.h"

namespace e2e {
namespace {

const std::string kLocationPrefix = "Location of the main folder of Kestrome : ";

// Copies the built updater into folder and runs its merge command on source; returns the
// message box's text ("" when no box came) after answering it and seeing the process end.
std::string runMerge(Env& env, const std::string& folder, const std::string& source) {
  makeFolders(folder);
  const std::string updater = join(folder, "kestrome_update.exe");
  CopyFileA(env.updater.c_str(), updater.c_str(), FALSE);
  Process process;
  if (!env.check.that(process.start(updater, "MERGE_KZ6_FILE:\"" + source + "\""), "the merge starts")) return "";
  HWND box = waitMessageBox(process.id(), kMergeCaption);
  if (!env.check.that(box != nullptr, "the merge reports in a message box")) {
    process.kill();
    return "";
  }
  const std::string text = itemText(box, kMessageText);
  env.check.that(findDialog(process.id(), kTitle) == nullptr, "a merge shows no main dialog");
  press(box, IDOK);
  env.check.that(process.waitExit(), "the merge run ends after its message");
  process.kill();
  return text;
}

std::string successText(const std::string& target) {
  return "! ! !   MERGE COMMAND SUCCESSFUL   ! ! !\r\n\r\nMerged target file:\r\n\r\n" + target;
}

// Merges the update into a copy of the updater; the merged updater's path, or "" on failure.
std::string mergedUpdater(Env& env, const std::string& form = "update.kz6") {
  const std::string folder = join(env.root, "tool");
  const std::string target = join(folder, "kaem_update611.exe");
  const std::string text = runMerge(env, folder, join(env.root, form));
  if (!env.check.equal(text, successText(target), "merge message")) return "";
  return target;
}

// Registers the product machine-wide and leaves per-user traces that a completed install removes.
void registerProduct(const std::string& product) {
  setRegistryString(HKEY_LOCAL_MACHINE, kMainFolderValue, product);
  setRegistryString(HKEY_CURRENT_USER, kMainFolderValue, product);
  setRegistryString(HKEY_CURRENT_USER, "Auto Check New Version - Disabled", "1");
  setRegistryString(HKEY_CURRENT_USER, "Auto Check New Version - New Upgrade Webpage", "x");
}

void expectCompletedState(Env& env, HWND dialog, const std::string& product) {
  env.check.equal(itemText(dialog, KZ_IDC_LOG), completedLogAfter(locationLine(product)), "log of a completed install");
  env.check.that(!itemEnabled(dialog, KZ_IDC_INSTALL) && !itemEnabled(dialog, KZ_IDC_MAIN_FOLDER),
                 "Install and the main-folder button are disabled");
  env.check.equal(itemText(dialog, KZ_IDC_QUIT), "&Close", "button 2 caption");
  env.check.equal(focusedId(dialog), KZ_IDC_QUIT, "focus on Close");
  env.check.equal(readRegistryString(HKEY_LOCAL_MACHINE, kMainFolderValue).value_or("<none>"), product,
                  "machine-wide main folder");
  env.check.that(!readRegistryString(HKEY_CURRENT_USER, kMainFolderValue), "per-user main folder deleted");
  env.check.that(!readRegistryString(HKEY_CURRENT_USER, "Auto Check New Version - Disabled") &&
                     !readRegistryString(HKEY_CURRENT_USER, "Auto Check New Version - New Upgrade Webpage"),
                 "per-user update check state deleted");
}

// A merged updater's main dialog over the registered product, with the temporary folder's
// entries as they were before it started.
struct OpenUpdate {
  std::string updater;
  std::string product;
  std::string temp;
  std::set<std::string> tempBefore;
  Process process;
  HWND dialog = nullptr;
};

// Merges form, registers the product and opens the merged updater; false when the merge failed or
// no dialog came (the process is then ended).
bool openUpdate(Env& env, OpenUpdate& run, const std::string& form = "update.kz6") {
  run.updater = mergedUpdater(env, form);
  if (run.updater.empty()) return false;
  run.product = join(env.root, "product");
  registerProduct(run.product);
  run.temp = tempFolder();
  run.tempBefore = folderEntries(run.temp);
  run.dialog = openMainDialog(env, run.process, run.updater);
  if (run.dialog == nullptr) run.process.kill();
  return run.dialog != nullptr;
}

// The entries of the temporary folder that were not there before the updater started.
std::vector<std::string> addedToTemp(const OpenUpdate& run) {
  const auto now = folderEntries(run.temp);
  std::vector<std::string> added;
  std::set_difference(now.begin(), now.end(), run.tempBefore.begin(), run.tempBefore.end(), std::back_inserter(added));
  return added;
}

}  // namespace

// The merge command writes kaem_update611.exe beside the updater and names it in its message.
E2E_SCENARIO(merge_succeeds) {
  const std::string folder = join(env.root, "tool");
  const std::string target = join(folder, "kaem_update611.exe");
  env.check.equal(runMerge(env, folder, join(env.root, "update.kz6")), successText(target), "merge message");
  const auto merged = readFile(target);
  const auto original = readFile(env.updater);
  env.check.that(merged && original && merged->size() == original->size(), "the target has the updater's size");
  env.check.that(merged && original && *merged != *original, "the target carries the package");
}

// A source whose size is not the capacity stops the merge with 1019 and writes no target.
E2E_SCENARIO(merge_refuses_wrong_size) {
  const std::string source = join(env.root, "short.kz6");
  writeFile(source, std::string(100, 'x'));
  const std::string folder = join(env.root, "tool");
  env.check.equal(runMerge(env, folder, source),
                  "! ! !   MERGE COMMAND STOPPED   ! ! !\n\nCompressed Source File not found OR\n"
                  "Size of file different from the Internal Buffer Size.",
                  "merge message");
  env.check.that(!pathExists(join(folder, "kaem_update611.exe")), "no target");
}

// A target that cannot be written (a folder stands in its place) fails the merge with 1020 and
// leaves no partial file behind, neither beside the updater nor inside that folder.
E2E_SCENARIO(merge_fails_on_unwritable_target) {
  const std::string folder = join(env.root, "tool");
  const std::string blocker = join(folder, "kaem_update611.exe");
  makeFolders(blocker);
  writeFile(join(blocker, "keep.txt"), "kept");
  env.check.equal(runMerge(env, folder, join(env.root, "update.kz6")),
                  "! ! !   MERGE COMMAND FAILED   ! ! !\n\nError during Reading / Writing.", "merge message");
  const std::set<std::string> besides = {"kaem_update611.exe", "kestrome_update.exe"};
  env.check.that(folderEntries(folder) == besides, "nothing else written beside the updater");
  const std::set<std::string> inside = {"keep.txt"};
  env.check.that(folderEntries(blocker) == inside, "nothing written into the folder in the way");
}

// The merged updater installs its package over a 6.09 product: the exact log, the buttons, the
// registry afterwards, and Close without a question. The runner checks the files.
E2E_SCENARIO(install_complete) {
  OpenUpdate run;
  if (!openUpdate(env, run)) return;
  env.check.equal(itemText(run.dialog, KZ_IDC_LOG), locationLine(run.product), "opening log");
  installAndWait(run.dialog);
  expectCompletedState(env, run.dialog, run.product);
  closeWithoutQuestionAsked(env, run.dialog, run.process);
}

// A tracked file held open by another process stops the install at the running-application
// check; once it is released, Install runs the whole sequence again and completes.
E2E_SCENARIO(install_stopped_by_file_in_use) {
  const std::string updater = mergedUpdater(env);
  if (updater.empty()) return;
  const std::string product = join(env.root, "product");
  registerProduct(product);
  HANDLE held = CreateFileA(join(product, "bin\\app01.exe").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (!env.check.that(held != INVALID_HANDLE_VALUE, "the driver holds bin\\app01.exe")) return;

  Process process;
  HWND dialog = openMainDialog(env, process, updater);
  if (dialog == nullptr) {
    CloseHandle(held);
    return process.kill();
  }
  press(dialog, KZ_IDC_INSTALL);
  const std::string log = waitRunEnd(dialog);
  env.check.equal(log,
                  locationLine(product) + "\r\n\r\nInitializing......FAILED." + "\r\nThe file \"" + product +
                      "\\bin\\app01.exe\" is open in another program or cannot be changed." +
                      "\r\n\r\nOne or more Kestrome applications are currently running.\r\n"
                      "Close all Kestrome applications and click the INSTALL button again.\r\n\r\n"
                      "If this message appears again then restart your computer and run this update application "
                      "again.\r\n\r\n\r\nNOTE: The location of this update application on your hard disk is\r\n"
                      "            \"" + updater + "\".",
                  "log of a run stopped by a file in use");
  env.check.that(itemEnabled(dialog, KZ_IDC_INSTALL) && itemEnabled(dialog, KZ_IDC_MAIN_FOLDER), "the buttons stay usable");
  env.check.equal(itemText(dialog, KZ_IDC_QUIT), "&Quit", "button 2 keeps its caption");
  env.check.equal(focusedId(dialog), KZ_IDC_INSTALL, "focus on Install");

  CloseHandle(held);
  press(dialog, KZ_IDC_INSTALL);
  waitUntil([&] { return itemText(dialog, KZ_IDC_LOG).find(kInstallCompleted) != std::string::npos; }, 60000);
  expectCompletedState(env, dialog, product);
  closeWithoutQuestionAsked(env, dialog, process);
}

// An install whose extraction fails half way stops with only Close left; the work folder, with
// what was extracted into it, is gone once the dialog has closed.
E2E_SCENARIO(failed_install_work_folder_removed) {
  OpenUpdate run;
  if (!openUpdate(env, run, "damaged.kz6")) return;
  press(run.dialog, KZ_IDC_INSTALL);
  env.check.equal(waitRunEnd(run.dialog),
                  locationLine(run.product) + "\r\n\r\nInitializing......Ok.\r\nDecompressing files......FAILED." +
                      "\r\nThe package entry \"misc.set\\hlpfiles\\tool04\\tool04_help.chm\" failed its check: its "
                      "compressed data is damaged.",
                  "log of a failed extraction");
  env.check.that(!itemEnabled(run.dialog, KZ_IDC_INSTALL) && !itemEnabled(run.dialog, KZ_IDC_MAIN_FOLDER),
                 "only Close is left");
  env.check.equal(itemText(run.dialog, KZ_IDC_QUIT), "&Close", "button 2 caption");
  const auto added = addedToTemp(run);
  env.check.that(added.size() == 1 && !folderEntries(join(run.temp, added[0])).empty(),
                 "the work folder holds what was extracted");
  env.check.equal(readRegistryString(HKEY_CURRENT_USER, kMainFolderValue).value_or("<none>"), run.product,
                  "the registry is untouched");
  if (!quitWithYes(env, run.dialog, run.process)) return run.process.kill();
  env.check.that(folderEntries(run.temp) == run.tempBefore, "the temporary folder is as before");
}

// The work folder only administrators may change, seen while the dialog waits for Install: Wine
// keeps no DACL of its own but maps the one a folder is created with onto its Unix mode, which the
// runner's watcher writes into work-folder-mode.txt ("<work folder> <mode>", then "temp <mode>").
// An administrators-only folder gives others no permission; one that inherited the temporary
// folder's permissions would show its 755. It cannot be renamed while the updater holds it. The
// install then runs through that folder to the end, and the folder is gone when the dialog has
// closed.
E2E_SCENARIO(work_folder_private_install_completes) {
  OpenUpdate run;
  if (!openUpdate(env, run)) return;
  const std::string record = join(env.root, "work-folder-mode.txt");
  waitUntil([&] { return pathExists(record); }, 20000);
  const std::string modes = readFile(record).value_or("");
  const auto added = addedToTemp(run);
  if (env.check.that(added.size() == 1, "one work folder in the temporary folder")) {
    std::string name = added[0];
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const size_t at = modes.find(name + " ");
    const size_t tempAt = modes.find("temp ");
    if (env.check.that(at != std::string::npos && tempAt != std::string::npos, "the watcher saw it: " + modes)) {
      const std::string mode = modes.substr(at + name.size() + 1, 3);
      const std::string tempMode = modes.substr(tempAt + 5, 3);
      env.check.that(mode.size() == 3 && mode[2] == '0', "no permission for others on the work folder: " + mode);
      env.check.that(tempMode.size() == 3 && tempMode[2] != '0', "the temporary folder is open to others: " + tempMode);
    }
    // Held without delete sharing, it cannot be renamed away and replaced by another folder.
    const std::string work = join(run.temp, added[0]);
    const BOOL renamed = MoveFileA(work.c_str(), (work + ".moved").c_str());
    env.check.that(!renamed && GetLastError() == ERROR_SHARING_VIOLATION, "the work folder cannot be renamed");
    if (renamed) MoveFileA((work + ".moved").c_str(), work.c_str());
  }
  installAndWait(run.dialog);
  expectCompletedState(env, run.dialog, run.product);
  closeWithoutQuestionAsked(env, run.dialog, run.process);
  env.check.that(folderEntries(run.temp) == run.tempBefore, "the work folder is gone");
}

// A link that another process plants at bin in the work folder while the dialog waits (the runner
// plants a Unix symbolic link, which Wine reports as a reparse point; on Windows the folder's DACL
// keeps the user's processes out in the first place): the extraction writes nothing through it
// and fails at the first entry that would, and at close the work folder goes without what the link
// points at (the runner checks that folder). Wine 8 cannot remove a symbolic link to a folder
// through the Win32 calls (it takes the link's target for the folder to remove and finds it not
// empty), so there the work folder may stay behind holding the link alone.
E2E_SCENARIO(extraction_refuses_linked_entry_folder) {
  OpenUpdate run;
  if (!openUpdate(env, run)) return;
  if (!env.check.that(waitUntil([&] { return pathExists(join(env.root, "linked")); }, 20000), "the link is planted")) {
    return run.process.kill();
  }
  press(run.dialog, KZ_IDC_INSTALL);
  const std::string log = waitRunEnd(run.dialog);
  const std::string failed = "\r\nDecompressing files......FAILED.\r\nThe package entry \"bin\\";
  env.check.that(log.find(failed) != std::string::npos && log.find("\" could not be written into the work folder") != std::string::npos,
                 "the extraction fails at an entry in bin: " + log);
  if (!quitWithYes(env, run.dialog, run.process)) return run.process.kill();
  const auto left = addedToTemp(run);
  const std::set<std::string> onlyTheLink = {"bin"};
  env.check.that(left.empty() || (left.size() == 1 && folderEntries(join(run.temp, left[0])) == onlyTheLink),
                 "the work folder is gone, or holds only the link");
}

}  // namespace e2e
