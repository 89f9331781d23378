// The main dialog's presenter.
#include "app/update_presenter.h"

#include <cstdio>

#include "app/main_folder_validation.h"
#include "app/string_table.h"
#include "install/shell_paths.h"
#include "platform/beep.h"
#include "platform/message_format.h"

namespace kz {

uint16_t titleStringId(int32_t languageCode, int32_t editionCode, int32_t unitsCode) {
  const bool metric = unitsCode != 0;
  const bool english = languageCode != 0;
  switch (editionCode) {
    case 1:
      if (english) return metric ? strings::kTitleEnglishMetricAtelier : strings::kTitleEnglishImperialAtelier;
      return metric ? strings::kTitleSecondMetricAtelier : strings::kTitleSecondImperialAtelier;
    case 3:
      if (english) return metric ? strings::kTitleEnglishMetricGalleria : strings::kTitleEnglishImperialGalleria;
      return metric ? strings::kTitleSecondMetricGalleria : strings::kTitleSecondImperialGalleria;
    default:
      if (english) return metric ? strings::kTitleEnglishMetricStudio : strings::kTitleEnglishImperialStudio;
      return metric ? strings::kTitleSecondMetricStudio : strings::kTitleSecondImperialStudio;
  }
}

std::string windowTitle(const UpdateApp& app) {
  char version[32];
  std::snprintf(version, sizeof version, "%0.2lf", kUpdateVersion);
  const char* text = strings::lookup(titleStringId(app.languageCode, app.editionCode, app.unitsCode));
  return platform::messageFormatter().format(text, {version});
}

const char* UpdatePresenter::AboutNotice() { return strings::lookup(strings::kAboutNotice); }

UpdatePresenter::UpdatePresenter(UpdateApp& app, DialogView& view, PackageSteps steps)
    : app_(app), view_(view), steps_(std::move(steps)) {}

int UpdatePresenter::OnInitDialog() {
  view_.setTitle(windowTitle(app_).c_str());
  char folder[platform::kMaxPath] = {};
  const bool created = steps_.createWorkFolder && steps_.createWorkFolder(folder) && folder[0] != '\0';
  if (created) {
    paths::removeBackslash(folder);
    copyPathField(app_.workFolder, folder);
    (void)ValidateMainFolder(view_, app_.mainFolder);
  } else {
    app_.workFolder[0] = '\0';
    view_.enableControl(KZ_IDC_INSTALL, false);
    view_.enableControl(KZ_IDC_MAIN_FOLDER, false);
    appendLog(view_, strings::lookup(strings::kErrorNoWorkFolder), true);
    view_.beep(platform::kBeepHand);
  }
  const int focus = view_.controlEnabled(KZ_IDC_INSTALL) ? KZ_IDC_INSTALL : KZ_IDC_QUIT;
  view_.focusControl(focus);
  return focus;
}

void UpdatePresenter::OnInstall() {
  InstallInputs inputs;
  inputs.mainFolder = app_.mainFolder;
  inputs.workFolder = app_.workFolder;
  inputs.modulePath = app_.modulePath;
  inputs.codes = ProductCodes{app_.languageCode, app_.editionCode, app_.unitsCode};
  inputs.extractPackage = steps_.extractPackage;
  InstallSequence(view_, session_, inputs);
}

void UpdatePresenter::OnQuit() {
  if (session_.updateComplete ||
      view_.askYesNo(strings::lookup(strings::kQuitQuestion), strings::lookup(strings::kQuitCaption))) {
    view_.close(kDialogResultCancel);
  }
}

bool UpdatePresenter::OnMainFolderChosen(const char* folder) {
  if (!copyPathField(app_.mainFolder, folder)) return false;
  if (ValidateMainFolder(view_, app_.mainFolder)) view_.focusControl(KZ_IDC_INSTALL);
  return true;
}

}  // namespace kz
