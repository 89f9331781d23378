// What the install steps need of the main dialog: its progress log, its buttons and the beep.
//
// The application's presenter implements it over the dialog's view, so the steps never see a
// window; the Windows dialog and the tests' recording view both sit behind that presenter.
#pragma once

#include <cstdint>
#include <string>

namespace kz {

// The main dialog's controls, by their resource ids.
inline constexpr int kControlInstall = 1;     // IDOK: "&Install...", the default push button
inline constexpr int kControlQuit = 2;        // IDCANCEL: "&Quit", later "&Close"
inline constexpr int kControlAbout = 3;
inline constexpr int kControlMainFolder = 4;  // "&Specify the location of your Kestrome main folder..."
inline constexpr int kControlLog = 1000;      // the read-only progress log

class InstallDialog {
 public:
  virtual ~InstallDialog() = default;
  // The one writer of the progress log: appends text, or with replace first clears the log.
  virtual void AppendLog(const char* text, bool replace) = 0;
  virtual void Beep(uint32_t type) = 0;
  virtual void EnableButton(int id, bool enabled) = 0;
  virtual std::string ButtonCaption(int id) = 0;
  virtual void SetButtonCaption(int id, const char* caption) = 0;
  virtual void FocusButton(int id) = 0;
  // The window that owns shell operations; nullptr when there is none.
  virtual void* OwnerWindow() = 0;
};

}  // namespace kz
