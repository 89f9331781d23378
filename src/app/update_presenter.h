// The main update dialog's logic: its title, the progress log, the Install, Quit and main-folder
// commands, and the state that lives as long as the dialog (tracked-file table, updateComplete).
//
// The Windows dialog procedure forwards each message to the matching On... operation and renders
// nothing of its own; the About box takes its two texts from here.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "app/dialog_view.h"
#include "app/install_sequence.h"
#include "app/update_app.h"

namespace kz {

// The package steps the dialog runs: the package reader's createWorkFolder and extractPackage.
struct PackageSteps {
  // Creates the work folder and writes its path, with a trailing backslash, into out (260 bytes).
  std::function<bool(char* out)> createWorkFolder;
  ExtractStep extractPackage;
};

// The version this update installs, and its text in titles ("%0.2lf" of it).
inline constexpr double kUpdateVersion = 6.11;

// The string id of the window title for the three product codes.
uint16_t titleStringId(int32_t languageCode, int32_t editionCode, int32_t unitsCode);
// The formatted title: this build's reads "English Metric Update v6.11 for Kestrome Atelier".
std::string windowTitle(const UpdateApp& app);

class UpdatePresenter final {
 public:
  UpdatePresenter(UpdateApp& app, DialogView& view, PackageSteps steps);

  // Dialog initialisation after the icons and the system menu: the title, the work folder and the
  // first validation. Returns the id of the control that received the focus.
  int OnInitDialog();
  // Command 1: the install sequence. Never closes the dialog.
  void OnInstall();
  // Command 2 (Quit/Close button, Escape, the close box): closes at once after a completed
  // installation, otherwise only when the user confirms.
  void OnQuit();
  // The folder selection's choice: it becomes the main folder and is validated at once; a valid
  // one takes the focus to Install. False when the path does not fit (nothing changes then).
  bool OnMainFolderChosen(const char* folder);

  // The About box: the same title as the window, and the maker's notice.
  std::string AboutTitle() const { return windowTitle(app_); }
  static const char* AboutNotice();

  bool updateComplete() const { return session_.updateComplete; }
  const TrackedFileTable& trackedFiles() const { return session_.table; }

 private:
  UpdateApp& app_;
  DialogView& view_;
  PackageSteps steps_;
  InstallSession session_;
};

}  // namespace kz
