// The main dialog on template 102: window chores (icons, system menu, painting while minimised,
// activation by a second instance) here; every rule of the update lives in the presenter.
#include "update_dialog.h"

#include <string>

#include "about_dialog.h"
#include "app/string_table.h"
#include "app/update_app.h"
#include "platform/message_format.h"
#include "resource_ids.h"

namespace kz::win {
namespace {

class UpdateDialog {
 public:
  explicit UpdateDialog(HINSTANCE instance)
      : instance_(instance), icon_(LoadIconA(instance, MAKEINTRESOURCEA(KZ_IDI_APP))) {}

  static INT_PTR CALLBACK proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
      SetWindowLongPtrA(window, DWLP_USER, lParam);
      auto* self = reinterpret_cast<UpdateDialog*>(lParam);
      self->window_ = window;
      return self->onInit();
    }
    auto* self = reinterpret_cast<UpdateDialog*>(GetWindowLongPtrA(window, DWLP_USER));
    if (self == nullptr) return FALSE;
    return self->handle(message, wParam, lParam);
  }

 private:
  INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != 0 && message == activationMessage()) {
      SetWindowLongPtrA(window_, DWLP_MSGRESULT, onActivate());
      return TRUE;
    }
    switch (message) {
      case WM_COMMAND:
        onCommand(LOWORD(wParam));
        return TRUE;
      case WM_PAINT:
        if (!IsIconic(window_)) return FALSE;
        paintMinimised();
        return TRUE;
      case WM_QUERYDRAGICON:
        return reinterpret_cast<INT_PTR>(icon_);
      default:
        (void)lParam;
        return FALSE;
    }
  }

  INT_PTR onInit() {
    SendMessageA(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    SendMessageA(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
    if (HMENU menu = GetSystemMenu(window_, FALSE)) {
      DeleteMenu(menu, SC_SIZE, MF_BYCOMMAND);
      DeleteMenu(menu, SC_MAXIMIZE, MF_BYCOMMAND);
    }
    title_ = messageFormatter().format(strings::lookup(strings::kTitleEnglishMetricAtelier), {"6.11"});
    SetWindowTextA(window_, title_.c_str());
    focusControl(IDOK);
    return FALSE;  // the focus is set
  }

  void onCommand(int id) {
    switch (id) {
      case IDOK:
        break;  // Install never closes the dialog
      case IDCANCEL:
        if (MessageBoxA(window_, strings::lookup(strings::kQuitQuestion), strings::lookup(strings::kQuitCaption),
                        MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES) {
          EndDialog(window_, IDCANCEL);
        }
        break;
      case KZ_IDC_ABOUT:
        runAboutDialog(instance_, window_, title_.c_str());
        break;
      default:
        break;
    }
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

  void focusControl(int id) {
    SendMessageA(window_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(window_, id)), TRUE);
  }

  static platform::MessageFormatter& messageFormatter() { return platform::messageFormatter(); }

  HINSTANCE instance_;
  HICON icon_;
  HWND window_ = nullptr;
  std::string title_;
};

}  // namespace

void runUpdateDialog(HINSTANCE instance) {
  UpdateDialog dialog(instance);
  DialogBoxParamA(instance, MAKEINTRESOURCEA(KZ_IDD_UPDATE), nullptr, UpdateDialog::proc,
                  reinterpret_cast<LPARAM>(&dialog));
}

}  // namespace kz::win
