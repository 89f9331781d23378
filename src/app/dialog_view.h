// The main dialog as the application layer sees it: a handful of operations on its controls.
//
// The Windows dialog implements each with the call named beside it, and a test's recording view
// keeps what each shows, so both see the same thing. Controls are named by the ids of
// dialog_ids.h. The presenter, the install sequence and the validation's log lines all write
// through it; the install steps below never see it.
#pragma once

#include <cstdint>
#include <string>

#include "app/dialog_ids.h"

namespace kz {

inline constexpr int kDialogResultCancel = 2;  // IDCANCEL: how the dialog always ends

class DialogView {
 public:
  virtual ~DialogView() = default;
  // The progress log's whole text (GetWindowTextLengthA, then GetWindowTextA).
  virtual std::string logText() = 0;
  // Sets the whole log text, leaves no selection, scrolls the caret into view and repaints the
  // control before returning (SetWindowTextA, EM_SETSEL -1/-1, EM_SCROLLCARET, InvalidateRect
  // with erase, UpdateWindow).
  virtual void setLogText(const char* text) = 0;
  // The window's caption (SetWindowTextA on the dialog).
  virtual void setTitle(const char* text) = 0;
  virtual void enableControl(int id, bool enabled) = 0;  // EnableWindow
  virtual bool controlEnabled(int id) = 0;               // IsWindowEnabled
  virtual std::string controlText(int id) = 0;           // GetDlgItemTextA
  virtual void setControlText(int id, const char* text) = 0;  // SetDlgItemTextA
  // Moves the keyboard focus and the default-button highlight (WM_NEXTDLGCTL with the control).
  virtual void focusControl(int id) = 0;
  virtual void beep(uint32_t type) = 0;  // MessageBeep
  // A question owned by the dialog with Yes and No, No preselected (MessageBoxA with
  // MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2); true when the answer is Yes.
  virtual bool askYesNo(const char* text, const char* caption) = 0;
  virtual void close(int result) = 0;  // EndDialog
  // The dialog's window handle, owner of shell operations; nullptr when there is no window.
  virtual void* windowHandle() = 0;
};

// The one writer of the progress log: appends text (nothing for nullptr), or with replace first
// clears the log.
inline void appendLog(DialogView& view, const char* text, bool replace) {
  std::string log = replace ? std::string() : view.logText();
  if (text != nullptr) log += text;
  view.setLogText(log.c_str());
}

}  // namespace kz
