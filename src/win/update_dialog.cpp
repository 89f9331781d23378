// The main dialog on template 102: window chores (icons, system menu, painting while minimised,
// activation by a second instance) here; every rule of the update lives in the presenter, which
// this window renders through the DialogView operations.
#include "update_dialog.h"

#include <string>
#include <vector>

#include "about_dialog.h"
#include "app/extract_step.h"
#include "app/string_table.h"
#include "app/update_app.h"
#include "app/update_presenter.h"
#include "folder_pick.h"
#include "package/work_folder.h"
#include "resource_ids.h"

namespace kz::win {
namespace {

class UpdateDialog final : public DialogView {
 public:
  explicit UpdateDialog(HINSTANCE instance)
      : instance_(instance),
        icon_(LoadIconA(instance, MAKEINTRESOURCEA(KZ_IDI_APP))),
        presenter_(updateApp(), *this,
                   PackageSteps{[](char* out) { return createWorkFolder(out); },
                                [](ExtractionFailure* failure) { return extractPackage(failure); }}) {}

  static INT_PTR CALLBACK proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
      SetWindowLongPtrA(window, DWLP_USER, lParam);
      auto* self = reinterpret_cast<UpdateDialog*>(lParam);
      self->window_ = window;
      return self->onInit();
    }
    auto* self = reinterpret_cast<UpdateDialog*>(GetWindowLongPtrA(window, DWLP_USER));
    if (self == nullptr) return FALSE;
    return self->handle(message, wParam);
  }

  // DialogView: each operation is the one window call the presenter expects of it.
  std::string logText() override {
    HWND log = GetDlgItem(window_, KZ_IDC_LOG);
    const int length = GetWindowTextLengthA(log);
    std::vector<char> text(static_cast<size_t>(length) + 1, '\0');
    GetWindowTextA(log, text.data(), length + 1);
    return text.data();
  }
  void setLogText(const char* text) override {
    HWND log = GetDlgItem(window_, KZ_IDC_LOG);
    SetWindowTextA(log, text);
    SendMessageA(log, EM_SETSEL, static_cast<WPARAM>(-1), -1);
    SendMessageA(log, EM_SCROLLCARET, 0, 0);
    // Repainted before returning: the install holds the thread, so no paint message would come.
    InvalidateRect(log, nullptr, TRUE);
    UpdateWindow(log);
  }
  void setTitle(const char* text) override { SetWindowTextA(window_, text); }
  void enableControl(int id, bool enabled) override { EnableWindow(GetDlgItem(window_, id), enabled); }
  bool controlEnabled(int id) override { return IsWindowEnabled(GetDlgItem(window_, id)) != FALSE; }
  std::string controlText(int id) override {
    char text[256] = {};
    GetDlgItemTextA(window_, id, text, sizeof(text));
    return text;
  }
  void setControlText(int id, const char* text) override { SetDlgItemTextA(window_, id, text); }
  void focusControl(int id) override {
    SendMessageA(window_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(window_, id)), TRUE);
  }
  void beep(uint32_t type) override { MessageBeep(type); }
  bool askYesNo(const char* text, const char* caption) override {
    return MessageBoxA(window_, text, caption, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
  }
  void close(int result) override { EndDialog(window_, result); }
  void* windowHandle() override { return window_; }

 private:
  INT_PTR handle(UINT message, WPARAM wParam) {
    if (message != 0 && message == activationMessage()) {
      SetWindowLongPtrA(window_, DWLP_MSGRESULT, onActivate());
      return TRUE;
    }
    switch (message) {
      case WM_COMMAND:
        return onCommand(LOWORD(wParam)) ? TRUE : FALSE;
      case WM_PAINT:
        if (!IsIconic(window_)) return FALSE;
        paintMinimised();
        return TRUE;
      case WM_QUERYDRAGICON:
        return reinterpret_cast<INT_PTR>(icon_);
      default:
        return FALSE;
    }
  }

  INT_PTR onInit() {
    SendMessageA(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    SendMessageA(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
    // Restore, Move, Minimize and Close remain: the dialog has a fixed size.
    if (HMENU menu = GetSystemMenu(window_, FALSE)) {
      DeleteMenu(menu, SC_SIZE, MF_BYCOMMAND);
      DeleteMenu(menu, SC_MAXIMIZE, MF_BYCOMMAND);
    }
    presenter_.OnInitDialog();
    return FALSE;  // the presenter has set the focus
  }

  bool onCommand(int id) {
    switch (id) {
      case KZ_IDC_INSTALL:
        presenter_.OnInstall();  // never closes the dialog
        return true;
      case KZ_IDC_QUIT:
        presenter_.OnQuit();
        return true;
      case KZ_IDC_ABOUT:
        runAboutDialog(instance_, window_, presenter_.AboutTitle().c_str());
        return true;
      case KZ_IDC_MAIN_FOLDER:
        onMainFolderButton();
        return true;
      default:
        return false;
    }
  }

  void onMainFolderButton() {
    FolderPickRequest request{};
    request.instance = instance_;
    request.owner = window_;
    request.centreOnOwner = 1;
    request.title = strings::lookup(strings::kPickerTitle);
    request.okText = strings::lookup(strings::kPickerOk);
    request.folderLabel = strings::lookup(strings::kPickerFolderLabel);
    lstrcpynA(request.path, updateApp().mainFolder, sizeof(request.path));
    request.justInitialised = 0;
    request.initialisationTick = 0;
    if (PickMainFolder(request) != 1) return;  // cancelled or failed: nothing changes
    presenter_.OnMainFolderChosen(request.path);
  }

  // Brings the dialog, or the pop-up it has open, to the front for a second instance.
  LRESULT onActivate() {
    HWND popup = GetLastActivePopup(window_);
    if (!IsIconic(window_)) {
      ShowWindow(window_, SW_HIDE);
      ShowWindow(window_, SW_MINIMIZE);
    }
    ShowWindow(window_, SW_RESTORE);
    SetForegroundWindow(popup);
    return 0;
  }

  void paintMinimised() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window_, &paint);
    SendMessageA(window_, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    GetClientRect(window_, &client);
    const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, icon_);
    EndPaint(window_, &paint);
  }

  HINSTANCE instance_;
  HICON icon_;
  HWND window_ = nullptr;
  UpdatePresenter presenter_;
};

}  // namespace

void runUpdateDialog(HINSTANCE instance) {
  UpdateDialog dialog(instance);
  DialogBoxParamA(instance, MAKEINTRESOURCEA(KZ_IDD_UPDATE), nullptr, UpdateDialog::proc,
                  reinterpret_cast<LPARAM>(&dialog));
}

}  // namespace kz::win
