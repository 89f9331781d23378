// The main dialog's presenter.
#include "app/update_presenter.h"

#include <cstdio>

#include "app/string_table.h"
#include "install/main_folder.h"
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
    (void)ValidateMainFolder();
  } else {
    app_.workFolder[0] = '\0';
    view_.enableControl(kControlInstall, false);
    view_.enableControl(kControlMainFolder, false);
    AppendLog(strings::lookup(strings::kErrorNoWorkFolder), true);
    view_.beep(platform::kBeepHand);
  }
  const int focus = view_.controlEnabled(kControlInstall) ? kControlInstall : kControlQuit;
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
  InstallSequence(*this, session_, inputs);
}

void UpdatePresenter::OnQuit() {
  if (session_.updateComplete ||
      view_.askYesNo(strings::lookup(strings::kQuitQuestion), strings::lookup(strings::kQuitCaption))) {
    view_.close(kDialogResultCancel);
  }
}

bool UpdatePresenter::OnMainFolderChosen(const char* folder) {
  if (!copyPathField(app_.mainFolder, folder)) return false;
  if (ValidateMainFolder()) view_.focusControl(kControlInstall);
  return true;
}

void UpdatePresenter::AppendLog(const char* text, bool replace) {
  std::string log = replace ? std::string() : view_.logText();
  if (text != nullptr) log += text;
  view_.setLogText(log.c_str());
}

bool UpdatePresenter::ValidateMainFolder() { return kz::ValidateMainFolder(*this, app_.mainFolder); }

void UpdatePresenter::Beep(uint32_t type) { view_.beep(type); }
void UpdatePresenter::EnableButton(int id, bool enabled) { view_.enableControl(id, enabled); }
std::string UpdatePresenter::ButtonCaption(int id) { return view_.controlText(id); }
void UpdatePresenter::SetButtonCaption(int id, const char* caption) { view_.setControlText(id, caption); }
void UpdatePresenter::FocusButton(int id) { view_.focusControl(id); }
void* UpdatePresenter::OwnerWindow() { return view_.windowHandle(); }

}  // namespace kz
