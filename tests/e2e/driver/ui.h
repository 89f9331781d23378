// Playing the user from another process: start programs, find their windows, read and press controls.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace e2e {

inline constexpr DWORD kWaitMs = 15000;

class Process {
 public:
  Process() = default;
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  // Starts exe with the given argument text (appended after the quoted program path).
  bool start(const std::string& exe, const std::string& arguments);
  // True once the process has ended within timeoutMs; its exit code is then in exitCode().
  bool waitExit(DWORD timeoutMs = kWaitMs);
  DWORD exitCode() const;
  DWORD id() const { return info_.dwProcessId; }
  // Ends a process that is still running (cleanup after a failed scenario).
  void kill();

 private:
  PROCESS_INFORMATION info_{};
};

// Polls condition every 50 ms until it holds or timeoutMs have passed.
bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs = kWaitMs);

// A visible top-level dialog (#32770) of process pid whose caption is exactly caption, or nullptr.
HWND findDialog(DWORD pid, const std::string& caption);
HWND waitDialog(DWORD pid, const std::string& caption, DWORD timeoutMs = kWaitMs);
// As findDialog, but never the window except (two windows may share a caption).
HWND findDialogOtherThan(DWORD pid, const std::string& caption, HWND except);
// Every visible top-level window of pid, for counting.
int visibleWindowCount(DWORD pid);

std::string windowText(HWND window);
std::string itemText(HWND dialog, int id);
bool itemEnabled(HWND dialog, int id);
bool itemVisible(HWND dialog, int id);
// The control id of the window that has the keyboard focus in dialog's thread; 0 when none.
int focusedId(HWND dialog);
HWND focusedWindow(HWND dialog);
bool isDefaultButton(HWND dialog, int id);
// Presses a button the way its dialog sees a click: WM_COMMAND posted with the button's id.
void press(HWND dialog, int id);
// Presses a button and waits until its handler has returned; only for commands that open no
// window of their own, since the driver waits meanwhile.
bool pressAndWait(HWND dialog, int id, DWORD timeoutMs = 60000);
// Sends SC_CLOSE (the close box) or SC_MINIMIZE through the system menu command.
void systemCommand(HWND window, UINT command);

}  // namespace e2e
