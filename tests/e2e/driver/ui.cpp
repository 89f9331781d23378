// Window finding and control access across processes; Wine marshals WM_GETTEXT and friends.
#include "ui.h"

#include <cstdio>
#include <vector>

namespace e2e {

Process::~Process() {
  if (info_.hProcess != nullptr) CloseHandle(info_.hProcess);
  if (info_.hThread != nullptr) CloseHandle(info_.hThread);
}

bool Process::start(const std::string& exe, const std::string& arguments) {
  std::string line = "\"" + exe + "\"";
  if (!arguments.empty()) line += " " + arguments;
  std::vector<char> buffer(line.begin(), line.end());
  buffer.push_back('\0');
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  // Under load Wine now and then refuses a process creation right after another process of the
  // same program has ended; one more try after a pause tells that apart from a program that
  // cannot start. The updater has not run at this point, so nothing it does is retried.
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (CreateProcessA(exe.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info_)) {
      return true;
    }
    std::fprintf(stderr, "CreateProcessA failed with error %lu\n", GetLastError());
    Sleep(500);
  }
  return false;
}

bool Process::waitExit(DWORD timeoutMs) {
  return info_.hProcess != nullptr && WaitForSingleObject(info_.hProcess, timeoutMs) == WAIT_OBJECT_0;
}

DWORD Process::exitCode() const {
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(info_.hProcess, &code);
  return code;
}

void Process::kill() {
  if (info_.hProcess != nullptr && WaitForSingleObject(info_.hProcess, 0) != WAIT_OBJECT_0) {
    TerminateProcess(info_.hProcess, 99);
    WaitForSingleObject(info_.hProcess, 5000);
  }
}

bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (condition()) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(50);
  }
}

namespace {

struct Search {
  DWORD pid;
  const std::string* caption;
  HWND found = nullptr;
  int count = 0;
  HWND except = nullptr;
};

bool ownedVisible(HWND window, DWORD pid) {
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  return owner == pid && IsWindowVisible(window);
}

BOOL CALLBACK findCaption(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<Search*>(data);
  if (!ownedVisible(window, search->pid)) return TRUE;
  char className[64] = {};
  GetClassNameA(window, className, sizeof(className));
  if (window == search->except || std::string(className) != "#32770" || windowText(window) != *search->caption) {
    return TRUE;
  }
  search->found = window;
  return FALSE;
}

BOOL CALLBACK countVisible(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<Search*>(data);
  if (ownedVisible(window, search->pid)) ++search->count;
  return TRUE;
}

}  // namespace

HWND findDialog(DWORD pid, const std::string& caption) {
  Search search{pid, &caption};
  EnumWindows(findCaption, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND findDialogOtherThan(DWORD pid, const std::string& caption, HWND except) {
  Search search{pid, &caption};
  search.except = except;
  EnumWindows(findCaption, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND waitDialog(DWORD pid, const std::string& caption, DWORD timeoutMs) {
  HWND found = nullptr;
  waitUntil([&] { return (found = findDialog(pid, caption)) != nullptr; }, timeoutMs);
  return found;
}

int visibleWindowCount(DWORD pid) {
  Search search{pid, nullptr};
  EnumWindows(countVisible, reinterpret_cast<LPARAM>(&search));
  return search.count;
}

std::string windowText(HWND window) {
  if (window == nullptr) return "<no window>";
  const LRESULT length = SendMessageA(window, WM_GETTEXTLENGTH, 0, 0);
  std::vector<char> buffer(static_cast<size_t>(length) + 1, '\0');
  SendMessageA(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
  return std::string(buffer.data());
}

std::string itemText(HWND dialog, int id) {
  HWND item = GetDlgItem(dialog, id);
  return item == nullptr ? "<no control " + std::to_string(id) + ">" : windowText(item);
}

bool itemEnabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

bool itemVisible(HWND dialog, int id) { return IsWindowVisible(GetDlgItem(dialog, id)) != FALSE; }

HWND focusedWindow(HWND dialog) {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

int focusedId(HWND dialog) {
  HWND focus = focusedWindow(dialog);
  return focus == nullptr ? 0 : GetDlgCtrlID(focus);
}

bool isDefaultButton(HWND dialog, int id) {
  const LONG style = GetWindowLongA(GetDlgItem(dialog, id), GWL_STYLE);
  return (style & 0x0F) == BS_DEFPUSHBUTTON;
}

void press(HWND dialog, int id) {
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

bool pressAndWait(HWND dialog, int id, DWORD timeoutMs) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                             reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)), SMTO_NORMAL, timeoutMs, &result) != 0;
}

void systemCommand(HWND window, UINT command) { PostMessageA(window, WM_SYSCOMMAND, command, 0); }

}  // namespace e2e
