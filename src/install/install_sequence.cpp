// The stages of an install run, in order, and what the dialog shows after each.
#include "install/install_sequence.h"

#include <string>

#include "app/string_table.h"
#include "install/copy_files.h"
#include "install/in_use.h"
#include "install/main_folder.h"
#include "platform/beep.h"
#include "platform/message_format.h"
#include "platform/registry.h"

namespace kz {
namespace {

void log(InstallDialog& dialog, strings::Id id) { dialog.AppendLog(strings::lookup(id), false); }

constexpr const char* kPerUserValuesDeleted[] = {
    "Main Folder Path",
    "Auto Check New Version - Disabled",
    "Auto Check New Version - Last Date Disabled",
    "Auto Check New Version - Last Date Checked",
    "Auto Check New Version - New Update Available",
    "Auto Check New Version - New Upgrade Available",
    "Auto Check New Version - New Upgrade Webpage",
    "Auto Check New Version - New Update Upgrade Last Date Shown",
};

}  // namespace

void RecordCompletedInstallation(const char* mainFolder) {
  platform::Registry& registry = platform::registry();
  (void)registry.setString(platform::RegistryRoot::LocalMachine, platform::kProductSettingsKey,
                           platform::kMainFolderValue, mainFolder);
  for (const char* value : kPerUserValuesDeleted) {
    (void)registry.deleteValue(platform::RegistryRoot::CurrentUser, platform::kProductSettingsKey, value);
  }
}

void InstallSequence(InstallDialog& dialog, InstallSession& session, const InstallInputs& inputs) {
  if (!ValidateMainFolder(dialog, inputs.mainFolder)) return;

  // A path too long for the table leaves that row's path empty: it matches no file, and a row
  // that must be copied there fails the copy step, which then restores the main folder.
  (void)BuildTrackedFileTable(session.table, inputs.mainFolder, inputs.workFolder);
  GatherInstalledInfo(session.table);

  log(dialog, strings::kHeadingInitializing);
  if (!CheckFilesNotInUse(session.table)) {
    log(dialog, strings::kOutcomeFailed);
    const std::string advice =
        platform::messageFormatter().format(strings::lookup(strings::kApplicationsRunning), {inputs.modulePath});
    dialog.AppendLog(advice.c_str(), false);
    dialog.Beep(platform::kBeepExclamation);
    dialog.FocusButton(kControlInstall);
    return;
  }
  log(dialog, strings::kOutcomeOk);

  // From here on only the Quit button, now "Close", is left until the run ends.
  dialog.FocusButton(kControlQuit);
  dialog.EnableButton(kControlInstall, false);
  dialog.EnableButton(kControlMainFolder, false);
  const std::string savedQuitCaption = dialog.ButtonCaption(kControlQuit);
  dialog.SetButtonCaption(kControlQuit, strings::lookup(strings::kCloseCaption));

  log(dialog, strings::kHeadingDecompressing);
  if (!inputs.extractPackage || !inputs.extractPackage()) {
    log(dialog, strings::kOutcomeFailed);
    dialog.Beep(platform::kBeepHand);
    return;
  }
  log(dialog, strings::kOutcomeOk);
  log(dialog, strings::kHeadingTesting);

  GatherNewInfo(session.table);
  if (!TestCompatibility(session.table, inputs.codes)) {
    log(dialog, strings::kOutcomeFailed);
    dialog.Beep(platform::kBeepExclamation);
    // The user may point at another main folder and try again.
    dialog.SetButtonCaption(kControlQuit, savedQuitCaption.c_str());
    dialog.EnableButton(kControlMainFolder, true);
    dialog.EnableButton(kControlInstall, true);
    dialog.FocusButton(kControlInstall);
    return;
  }
  log(dialog, strings::kOutcomeOk);
  log(dialog, strings::kHeadingCopying);

  if (!CopyNewFiles(session.table, inputs.mainFolder, inputs.workFolder, dialog.OwnerWindow())) {
    log(dialog, strings::kOutcomeFailed);
    dialog.Beep(platform::kBeepHand);
    return;
  }
  log(dialog, strings::kOutcomeOk);

  RecordCompletedInstallation(inputs.mainFolder);
  log(dialog, strings::kInstallCompleted);
  dialog.Beep(platform::kBeepOk);
  session.updateComplete = true;
}

}  // namespace kz
