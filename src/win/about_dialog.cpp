// The About box on template 129: OK, Escape and the close box all end it through command 2.
#include "about_dialog.h"

#include "app/string_table.h"
#include "resource_ids.h"

namespace kz::win {
namespace {

INT_PTR CALLBACK aboutProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      SetDlgItemTextA(window, KZ_IDC_ABOUT_TITLE, reinterpret_cast<const char*>(lParam));
      SetDlgItemTextA(window, KZ_IDC_ABOUT_NOTICE, strings::lookup(strings::kAboutNotice));
      SendMessageA(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(window, IDCANCEL)), TRUE);
      return FALSE;  // the focus is set
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDOK) {
        EndDialog(window, LOWORD(wParam));
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

void runAboutDialog(HINSTANCE instance, HWND owner, const char* title) {
  DialogBoxParamA(instance, MAKEINTRESOURCEA(KZ_IDD_ABOUT), owner, aboutProc, reinterpret_cast<LPARAM>(title));
}

}  // namespace kz::win
