// The install as a transaction: a copy that fails part-way, an extraction that runs out of room,
// and an updater killed in the middle of its copy. After each, the main folder is either exactly
// as it was (every file's bytes, creation and last-write times and attributes) or fully updated,
// and nothing wrong is reported as success. The runner has put the update's form (update.kz6)
// and 6.09 products (product\, or product-N\ for each crash point) into the scratch folder;
// prepare_, verify_ and cleanup_ in fixtures.sh do the rest.
#include <map>
#include <vector>

#include "flows.h"
#include "scenario.h"
#include "system.h"

namespace e2e {
namespace {

constexpr char kCrashVariable[] = "KZ_CRASH_AFTER_MOVES";
// The progress-log line of an install that first puts an interrupted copy right.
constexpr char kRecoveredLine[] = "\r\n\r\nRestoring the files of an interrupted installation......Ok.";

// One entry of a folder tree as the user's tools would compare it.
struct EntryState {
  DWORD attributes = 0;
  FILETIME created{};
  FILETIME lastWrite{};
  std::string content;  // files only
};
using TreeState = std::map<std::string, EntryState>;

void addTree(const std::string& folder, const std::string& prefix, TreeState& state) {
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(join(folder, "*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = data.cFileName;
    if (name == "." || name == "..") continue;
    const std::string path = join(folder, name);
    const std::string relative = prefix.empty() ? name : prefix + "\\" + name;
    EntryState entry;
    entry.attributes = data.dwFileAttributes;
    entry.created = data.ftCreationTime;
    entry.lastWrite = data.ftLastWriteTime;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      // A folder's own times change whenever an entry comes or goes; its entries are compared.
      entry.created = entry.lastWrite = FILETIME{};
      state[relative + "\\"] = entry;
      addTree(path, relative, state);
    } else {
      entry.content = readFile(path).value_or("<unreadable>");
      state[relative] = entry;
    }
  } while (FindNextFileA(find, &data));
  FindClose(find);
}

TreeState treeState(const std::string& folder) {
  TreeState state;
  addTree(folder, "", state);
  return state;
}

bool sameTime(const FILETIME& a, const FILETIME& b) {
  return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

// Every difference between two states, one line each ("" when they are equal).
std::string treeDifferences(const TreeState& before, const TreeState& after) {
  std::string out;
  for (const auto& [path, was] : before) {
    const auto now = after.find(path);
    if (now == after.end()) {
      out += "  gone: " + path + "\n";
      continue;
    }
    if (now->second.content != was.content) out += "  other bytes: " + path + "\n";
    if (now->second.attributes != was.attributes) {
      out += "  other attributes: " + path + " " + std::to_string(was.attributes) + " -> " +
             std::to_string(now->second.attributes) + "\n";
    }
    if (!sameTime(now->second.lastWrite, was.lastWrite)) out += "  other last-write time: " + path + "\n";
    if (!sameTime(now->second.created, was.created)) out += "  other creation time: " + path + "\n";
  }
  for (const auto& [path, now] : after) {
    if (before.find(path) == before.end()) out += "  new: " + path + "\n";
  }
  return out;
}

void expectUnchanged(Env& env, const TreeState& before, const std::string& folder) {
  const std::string differences = treeDifferences(before, treeState(folder));
  if (!differences.empty()) note("main folder differences:\n" + differences);
  env.check.that(differences.empty(), "the main folder is exactly as it was");
}

// What the log holds up to the heading of the stage that fails, and that stage's outcome.
std::string logUpTo(const std::string& product, const std::string& failedHeading) {
  std::string log = locationLine(product) + "\r\n\r\nInitializing......Ok.";
  for (const char* heading : {"Decompressing files...", "Testing files compatibility...", "Copying files..."}) {
    if (failedHeading == heading) return log + "\r\n" + heading + "...FAILED.";
    log += std::string("\r\n") + heading + "...Ok.";
  }
  return log;
}

// A failed stage: the log is the run up to that stage's "...FAILED.", then one line that names
// the cause (holding the given words), and nothing reports success.
void expectFailedAt(Env& env, const std::string& log, const std::string& product, const std::string& heading,
                    const std::string& cause) {
  const std::string expected = logUpTo(product, heading);
  env.check.equal(log.substr(0, expected.size()), expected, "log up to the failed stage");
  const std::string rest = log.size() > expected.size() ? log.substr(expected.size()) : "";
  const bool oneCauseLine = rest.size() > 2 && rest.compare(0, 2, "\r\n") == 0 &&
                            rest.find_first_not_of("\r\n") != std::string::npos &&
                            rest.find("\r\n", 2) == std::string::npos;
  env.check.that(oneCauseLine, "one line naming the cause follows \"...FAILED.\": \"" + visible(rest) + "\"");
  env.check.that(rest.find(cause) != std::string::npos, "the cause line says \"" + cause + "\"");
  env.check.that(log.find("completed and successful") == std::string::npos, "no success is reported");
  env.check.that(log.find("Copying files......Ok.") == std::string::npos, "the copy is not reported done");
}

// The merged update, with product recorded as the machine-wide main folder; "" when the merge failed.
std::string mergeFor(Env& env, const std::string& product) {
  const std::string updater = mergeUpdate(env);
  if (!updater.empty()) setRegistryString(HKEY_LOCAL_MACHINE, kMainFolderValue, product);
  return updater;
}

// Opens the updater's main dialog and runs Install to its end; the dialog, with the log (noted),
// or nullptr (the process ended) when the dialog did not come.
HWND openAndInstall(Env& env, Process& process, const std::string& updater, std::string& log) {
  HWND dialog = openMainDialog(env, process, updater);
  if (dialog == nullptr) {
    process.kill();
    return nullptr;
  }
  log = installAndWait(dialog);
  note("log: " + visible(log));
  return dialog;
}

// Where the new help file of bin\app01.exe must go, a plain file stands in place of its folder,
// so the copy fails at that row after the rows before it were replaced. Two installed files carry
// attributes that the install touches on its way (the in-use probe clears read-only) and that
// must come back with them.
bool arrangeFailingCopy(Env& env, const std::string& product) {
  const std::string helpFolder = join(product, "misc.set\\hlpfiles\\app01");
  const bool blocked = env.check.that(removeTree(helpFolder) && writeFile(helpFolder, "a file in the folder's place"),
                                      "a plain file stands where the help folder belongs");
  const bool marked =
      env.check.that(SetFileAttributesA(join(product, "bin\\lib02.dll").c_str(),
                                        FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE) &&
                         SetFileAttributesA(join(product, "bin\\tool01.exe").c_str(),
                                            FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE),
                     "bin\\lib02.dll is read-only and bin\\tool01.exe hidden");
  return blocked && marked;
}

// Runs an install that the crash point ends right after the copy step's move number `moves`.
// True when the updater ended itself that way after changing the main folder.
bool installKilledAfter(Env& env, const std::string& updater, const std::string& product, int moves) {
  const TreeState before = treeState(product);
  SetEnvironmentVariableA(kCrashVariable, std::to_string(moves).c_str());
  Process process;
  HWND dialog = openMainDialog(env, process, updater);
  SetEnvironmentVariableA(kCrashVariable, nullptr);
  if (dialog == nullptr) {
    process.kill();
    return false;
  }
  press(dialog, KZ_IDC_INSTALL);
  const std::string at = " (crash after move " + std::to_string(moves) + ")";
  if (!env.check.that(process.waitExit(60000), "the updater ends itself during the copy" + at)) {
    process.kill();
    return false;
  }
  const bool crashed = env.check.equal(static_cast<long long>(process.exitCode()), 3, "exit code of the crash point" + at);
  const bool begun = env.check.that(!treeDifferences(before, treeState(product)).empty(),
                                    "the copy had begun when the updater ended" + at);
  return crashed && begun;
}

// The seventh move sets the fourth row's installed file aside before its new file is in place.
constexpr int kMidCopyCrash = 7;

}  // namespace

// Where the new help file's folder belongs stands a plain file, so the copy fails at that row
// after the rows before it were replaced. Everything is put back, and the log says so.
E2E_SCENARIO(copy_failure_restores_main_folder) {
  const std::string product = join(env.root, "product");
  const std::string updater = mergeFor(env, product);
  if (updater.empty() || !arrangeFailingCopy(env, product)) return;
  const TreeState before = treeState(product);
  env.check.that(before.size() > 20, "the product is there");

  Process process;
  std::string log;
  HWND dialog = openAndInstall(env, process, updater, log);
  if (dialog == nullptr) return;
  expectFailedAt(env, log, product, "Copying files...",
                 "\\misc.set\\hlpfiles\\app01\\app01_help.chm\" could not be moved to \"" + product +
                     "\\misc.set\\hlpfiles\\app01\\app01_help.chm\".");
  expectUnchanged(env, before, product);
  env.check.equal(readRegistryString(HKEY_LOCAL_MACHINE, kMainFolderValue).value_or("<none>"), product,
                  "the registry is untouched");
  if (!quitWithYes(env, dialog, process)) return process.kill();
  expectUnchanged(env, before, product);
}

// The product's bin folder is a link to another folder (the runner makes it a Unix symbolic link,
// which Wine reports as a reparse point, as a junction would be on Windows): the copy step refuses
// to move anything through it and names it; neither the main folder nor what the link points at
// changes, and no set-aside folder is made.
E2E_SCENARIO(copy_refuses_linked_folder) {
  const std::string product = join(env.root, "product");
  const std::string updater = mergeFor(env, product);
  if (updater.empty()) return;
  const TreeState before = treeState(product);
  const TreeState targetBefore = treeState(join(env.root, "elsewhere"));
  env.check.that(targetBefore.size() > 10, "the linked folder holds the programs");
  Process process;
  std::string log;
  HWND dialog = openAndInstall(env, process, updater, log);
  if (dialog == nullptr) return;
  expectFailedAt(env, log, product, "Copying files...",
                 "The folder \"" + product + "\\bin\" is a link to another place");
  expectUnchanged(env, before, product);
  expectUnchanged(env, targetBefore, join(env.root, "elsewhere"));
  env.check.that(!pathExists(join(product, "~KMUPDATE")), "no set-aside folder");
  if (!quitWithYes(env, dialog, process)) return process.kill();
}

// The system's temporary folder is too small for the new files (the runner mounts a small volume
// there): the extraction fails, the main folder is untouched, and the work folder goes.
E2E_SCENARIO(full_temp_folder_fails_extraction) {
  const std::string product = join(env.root, "product");
  const std::string updater = mergeFor(env, product);
  if (updater.empty()) return;
  const TreeState before = treeState(product);
  const std::string temp = tempFolder();
  const auto tempBefore = folderEntries(temp);

  Process process;
  std::string log;
  HWND dialog = openAndInstall(env, process, updater, log);
  if (dialog == nullptr) return;
  expectFailedAt(env, log, product, "Decompressing files...",
                 "could not be written into the work folder");
  expectUnchanged(env, before, product);
  if (!quitWithYes(env, dialog, process)) return process.kill();
  env.check.that(folderEntries(temp) == tempBefore, "the work folder is gone from the temporary folder");
}

// An updater killed right after one of its copy step's moves leaves the main folder half way;
// the next updater's Install first puts the interrupted copy right, then completes. Killed after
// the first move (one file set aside), in the middle (a file set aside, its new file not yet in
// place), right after a new file was placed, and after the last move (23 files set aside and
// placed and the 14 old help files set aside), before the copy was recorded as done; each on a
// product of its own. The runner checks every file afterwards.
E2E_SCENARIO(killed_copy_recovers_on_install) {
  const std::string updater = mergeUpdate(env);
  if (updater.empty()) return;
  for (const int moves : {1, kMidCopyCrash, 8, 60}) {
    const std::string product = join(env.root, "product-" + std::to_string(moves));
    const std::string at = " (crash after move " + std::to_string(moves) + ")";
    setRegistryString(HKEY_LOCAL_MACHINE, kMainFolderValue, product);
    const TreeState before = treeState(product);
    if (!env.check.that(before.size() > 20, "the product is there" + at)) continue;
    if (!installKilledAfter(env, updater, product, moves)) continue;

    Process process;
    std::string log;
    HWND dialog = openAndInstall(env, process, updater, log);
    if (dialog == nullptr) continue;
    env.check.that(log.find(kInstallCompleted) != std::string::npos, "the install completes" + at);
    env.check.that(log.find(kRecoveredLine) != std::string::npos, "the log reports the recovery" + at);
    env.check.that(log.find("FAILED") == std::string::npos, "nothing failed" + at);

    // The same entries as before, less the old help files that the update removes: no folder or
    // journal of the interrupted copy is left.
    std::vector<std::string> expected;
    for (const auto& [path, state] : before) {
      const std::string tail = path.size() > 4 ? path.substr(path.size() - 4) : path;
      if (tail != ".hlp" && tail != ".gid") expected.push_back(path);
    }
    std::vector<std::string> now;
    for (const auto& [path, state] : treeState(product)) now.push_back(path);
    if (now != expected) note("main folder now" + at + ":\n" + treeDifferences(before, treeState(product)));
    env.check.that(now == expected, "the main folder holds the product's entries and nothing else" + at);
    press(dialog, KZ_IDC_QUIT);
    env.check.that(process.waitExit(5000), "Close ends the updater at once" + at);
    process.kill();
  }
}

}  // namespace e2e

namespace e2e {

// An updater killed during its copy, then a second run whose copy fails part-way: the second run
// first puts back what the first one moved, so its rollback ends at the product as it was before
// either run, not at the half-updated state the first one left.
E2E_SCENARIO(killed_copy_then_failed_copy_restores_original) {
  const std::string product = join(env.root, "product");
  const std::string updater = mergeFor(env, product);
  if (updater.empty() || !arrangeFailingCopy(env, product)) return;
  const TreeState before = treeState(product);
  if (!installKilledAfter(env, updater, product, kMidCopyCrash)) return;

  Process process;
  std::string log;
  HWND dialog = openAndInstall(env, process, updater, log);
  if (dialog == nullptr) return;
  env.check.that(log.find(kRecoveredLine) != std::string::npos, "the log reports the recovery");
  env.check.that(log.find("\r\nCopying files......FAILED.") != std::string::npos, "the copy fails: \"" + visible(log) + "\"");
  env.check.that(log.find("completed and successful") == std::string::npos, "no success is reported");
  expectUnchanged(env, before, product);
  if (!quitWithYes(env, dialog, process)) return process.kill();
  expectUnchanged(env, before, product);
}

}  // namespace e2e

namespace e2e {

// A journal planted in the main folder (valid CRCs, a plan that reaches outside it: a file to
// delete there, a file of the planter's to put over another) is not the updater's own: Install
// stops at the recovery with one line naming the set-aside folder, and no file anywhere in the
// scratch folder changes, the planted journal included.
E2E_SCENARIO(forged_journal_changes_nothing) {
  const std::string product = join(env.root, "product");
  const std::string updater = mergeFor(env, product);
  if (updater.empty()) return;
  const TreeState before = treeState(env.root);
  env.check.that(before.count("victim.txt") == 1 && before.count("planted\\evil.dll") == 1 &&
                     before.count("product\\~KMUPDATE\\journal.kmj") == 1,
                 "the forged journal and the files it aims at are there");

  Process process;
  std::string log;
  HWND dialog = openAndInstall(env, process, updater, log);
  if (dialog == nullptr) return;
  env.check.equal(log, locationLine(product) +
                           "\r\n\r\nRestoring the files of an interrupted installation......FAILED.\r\nThe journal in "
                           "the folder \"" + join(product, "~KMUPDATE") +
                           "\" names files that this update never writes: nothing was moved or deleted.",
                  "the recovery refuses the journal and names its folder");
  const std::string differences = treeDifferences(before, treeState(env.root));
  if (!differences.empty()) note("scratch folder differences:\n" + differences);
  env.check.that(differences.empty(), "no file in or around the main folder changed");
  if (!quitWithYes(env, dialog, process)) return process.kill();
}

}  // namespace e2e
