// What every scenario shares: the paths it works with, its checks, and the steps users repeat.
#pragma once

#include <windows.h>

#include <string>

#include "check.h"
#include "ui.h"
#include "win/resource_ids.h"  // the updater's dialog and control ids

namespace e2e {

struct Env {
  std::string updater;  // the updater under test (with an empty package unless merged)
  std::string root;     // a scratch folder of this run, e.g. C:\e2e
  Check check;
};

using ScenarioFunction = void (*)(Env&);

struct Scenario {
  const char* name;
  ScenarioFunction run;
};

// Registers a scenario at static initialisation; the driver runs it by name.
struct ScenarioRegistration {
  ScenarioRegistration(const char* name, ScenarioFunction run);
};
const Scenario* findScenario(const std::string& name);
void listScenarios();

#define E2E_SCENARIO(name)                                              \
  static void scenario_##name(::e2e::Env& env);                         \
  static ::e2e::ScenarioRegistration registration_##name(#name, scenario_##name); \
  static void scenario_##name(::e2e::Env& env)

inline constexpr char kTitle[] = "English Metric Update v6.11 for Kestrome Atelier";
inline constexpr char kQuitCaption[] = "Quit the Update application";
inline constexpr char kMergeCaption[] = "Update Application Message";
inline constexpr char kPickerTitle[] = "Specify the Main Folder of Kestrome";
inline constexpr int kMessageText = 0xFFFF;  // a message box's static text

// The first progress-log line for a main folder ("Unknown" when empty).
std::string locationLine(const std::string& mainFolder);
extern const char kNoMainFolderError[];
extern const char kCorruptMainFolderError[];
extern const char kQuitQuestion[];
extern const char kInstallCompleted[];

// Creates the thirteen data sub-folders of a product main folder (all but skip, when given).
void makeProductFolders(const std::string& folder, const std::string& skip = "");

// Starts the updater and waits for its main dialog; nullptr (and a failed check) when it does not come.
HWND openMainDialog(Env& env, Process& process, const std::string& exe = "", const std::string& arguments = "");
// Presses Quit, answers Yes and waits for the process to end; false when any of it did not happen.
bool quitWithYes(Env& env, HWND dialog, Process& process);
// The message box of process pid with this caption that is not the main dialog.
HWND waitMessageBox(DWORD pid, const std::string& caption, DWORD timeoutMs = kWaitMs);
// Waits until the log holds a finished run: the completion text or a failure outcome.
std::string waitRunEnd(HWND dialog, DWORD timeoutMs = 60000);

}  // namespace e2e
