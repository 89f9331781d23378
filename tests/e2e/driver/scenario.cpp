// The scenario registry and the steps the scenarios share.
#include "scenario.h"

#include <cstdio>
#include <vector>

#include "system.h"

namespace e2e {
namespace {

std::vector<Scenario>& registry() {
  static std::vector<Scenario> scenarios;
  return scenarios;
}

}  // namespace

ScenarioRegistration::ScenarioRegistration(const char* name, ScenarioFunction run) {
  registry().push_back({name, run});
}

const Scenario* findScenario(const std::string& name) {
  for (const Scenario& s : registry()) {
    if (name == s.name) return &s;
  }
  return nullptr;
}

void listScenarios() {
  for (const Scenario& s : registry()) std::printf("%s\n", s.name);
}

const char kNoMainFolderError[] =
    "\r\n\r\nERROR:\r\n\r\n"
    "The Windows Registry contains no information about a Kestrome v6.00, v6.01,\r\n"
    "v6.02, v6.06, v6.07, v6.08 or v6.09 software installed somewhere on this computer.\r\n\r\n"
    "If there is a Kestrome folder on this computer, it has been probably copied here manually.\r\n"
    "You can fix this issue by specifying directly the location of the Kestrome main folder or by\r\n"
    "re-installing the Kestrome software over it.  During the re-installation, be sure to select\r\n"
    "the UPDATE ONLY check box.\r\n\r\n"
    "NOTE: When the Kestrome folder is shared over a local area network,\r\n"
    "you must execute this update application directly on the host computer.";

const char kCorruptMainFolderError[] =
    "\r\n\r\nERROR:\r\n\r\n"
    "The folder of the currently installed Kestrome software is whether corrupted, whether renamed\r\n"
    "or whether moved from its original location set during the installation of the Kestrome software.\r\n\r\n"
    "If the folder has been renamed or moved, you can fix this issue by specifying directly the\r\n"
    "actual location of the Kestrome main folder, otherwise, you will need to re-install the Kestrome\r\n"
    "software over the corrupted folder.  During the re-installation, be sure to select\r\n"
    "the UPDATE ONLY check box.";

const char kQuitQuestion[] =
    "Update is not complete. If you quit the Update application now, the Kestrome software will not be "
    "updated.\n\nYou may run the Update application at a later time to complete the update.\n\n"
    "Are you sure that you want to quit?";

const char kInstallCompleted[] = "\r\n\r\nInstallation of the update completed and successful.";

std::string locationLine(const std::string& mainFolder) {
  if (mainFolder.empty()) return "Location of the main folder of Kestrome : Unknown";
  std::string shown = mainFolder;
  if (shown.back() != '\\') shown += '\\';
  return "Location of the main folder of Kestrome : \"" + shown + "\"";
}

void makeProductFolders(const std::string& folder, const std::string& skip) {
  static const char* const names[] = {"anim",     "bin",        "cameras.set",  "cells.set",   "colours.set",
                                      "misc.set", "fonts",      "images.set",   "patterns.set", "objects.set",
                                      "profiles.set", "app_data", "scenes.set"};
  makeFolders(folder);
  for (const char* name : names) {
    if (skip != name) makeFolders(join(folder, name));
  }
}

HWND openMainDialog(Env& env, Process& process, const std::string& exe, const std::string& arguments) {
  if (!env.check.that(process.start(exe.empty() ? env.updater : exe, arguments), "the updater starts")) {
    return nullptr;
  }
  HWND dialog = waitDialog(process.id(), kTitle);
  env.check.that(dialog != nullptr, "the main dialog opens with the title \"" + std::string(kTitle) + "\"");
  return dialog;
}

HWND waitMessageBox(DWORD pid, const std::string& caption, DWORD timeoutMs) {
  return waitDialog(pid, caption, timeoutMs);
}

bool quitWithYes(Env& env, HWND dialog, Process& process) {
  press(dialog, KZ_IDC_QUIT);
  HWND box = waitMessageBox(process.id(), kQuitCaption);
  if (!env.check.that(box != nullptr, "Quit asks for confirmation")) return false;
  press(box, IDYES);
  return env.check.that(process.waitExit(), "the updater ends after Yes");
}

std::string waitRunEnd(HWND dialog, DWORD timeoutMs) {
  std::string log;
  waitUntil(
      [&] {
        log = itemText(dialog, KZ_IDC_LOG);
        return log.find("...FAILED.") != std::string::npos || log.find(kInstallCompleted) != std::string::npos;
      },
      timeoutMs);
  // The failure outcome may be followed by more text; give the run a moment to finish writing it.
  Sleep(300);
  return itemText(dialog, KZ_IDC_LOG);
}

}  // namespace e2e
