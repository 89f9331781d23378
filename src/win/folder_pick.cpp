// The folder picker: the standard open dialog with its file-name, type label and type controls
// hidden, a read-only folder field laid over the file name, and OK choosing the folder browsed.
#include "folder_pick.h"

#include <commdlg.h>
#include <shlwapi.h>

#include <cstddef>
#include <vector>

#include "app/centre_on_work_area.h"
#include "resource_ids.h"

namespace kz::win {
namespace {

constexpr DWORD kPickerFlags = OFN_HIDEREADONLY | OFN_ENABLEHOOK | OFN_ENABLETEMPLATE | OFN_EXPLORER | OFN_ENABLESIZING;
static_assert(kPickerFlags == 0x880064);
// Without the extension fields the common dialog keeps its classic file-name edit (edt1).
constexpr DWORD kOpenFileNameSize = offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(LPCSTR);
static_assert(sizeof(void*) != 4 || kOpenFileNameSize == 76);
constexpr DWORD kRecentreWindowMs = 1000;

OPENFILENAMEA* storedRequest(HWND child) {
  return reinterpret_cast<OPENFILENAMEA*>(GetWindowLongPtrA(child, GWLP_USERDATA));
}

FolderPickRequest& requestOf(const OPENFILENAMEA& ofn) { return *reinterpret_cast<FolderPickRequest*>(ofn.lCustData); }

int fileNameFieldId(const OPENFILENAMEA& ofn) { return ofn.lStructSize == kOpenFileNameSize ? edt1 : cmb13; }

// Lays the folder field over the hidden file-name field, wherever the dialog has put it.
void placeFolderField(HWND child, const OPENFILENAMEA& ofn) {
  WINDOWPLACEMENT placement{};
  placement.length = sizeof(placement);
  if (GetWindowPlacement(GetDlgItem(GetParent(child), fileNameFieldId(ofn)), &placement)) {
    SetWindowPlacement(GetDlgItem(child, KZ_IDC_PICK_FOLDER), &placement);
  }
}

void centrePicker(HWND child, const OPENFILENAMEA& ofn) {
  const FolderPickRequest& request = requestOf(ofn);
  CenterOnWorkArea(GetParent(child), request.centreOnOwner ? request.owner : nullptr);
}

void focusFolderField(HWND child) {
  PostMessageA(child, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(child, KZ_IDC_PICK_FOLDER)), TRUE);
}

UINT_PTR onNotify(HWND child, const OFNOTIFYA& notify) {
  OPENFILENAMEA* ofn = storedRequest(child);
  if (ofn == nullptr) return 0;
  HWND parent = GetParent(child);
  switch (notify.hdr.code) {
    case CDN_INITDONE: {
      placeFolderField(child, *ofn);
      centrePicker(child, *ofn);
      FolderPickRequest& request = requestOf(*ofn);
      request.justInitialised = 1;
      request.initialisationTick = GetTickCount();
      focusFolderField(child);
      return 0;
    }
    case CDN_FOLDERCHANGE: {
      char folder[MAX_PATH] = {};
      SendMessageA(parent, CDM_GETFOLDERPATH, MAX_PATH, reinterpret_cast<LPARAM>(folder));
      SetDlgItemTextA(child, KZ_IDC_PICK_FOLDER, folder);
      focusFolderField(child);
      return 0;
    }
    case CDN_FILEOK: {
      // The file name is the browsed folder followed by "a.b", or by a file the user selected.
      char folder[MAX_PATH] = {};
      lstrcpynA(folder, ofn->lpstrFile, MAX_PATH);
      PathRemoveFileSpecA(folder);
      if (PathFileExistsA(folder)) {
        lstrcpynA(requestOf(*ofn).path, folder, MAX_PATH);
        SetWindowLongPtrA(child, DWLP_MSGRESULT, 0);
      } else {
        // A location without a file-system path: the picker stays open.
        MessageBoxA(child, "", ofn->lpstrTitle, MB_ICONEXCLAMATION);
        SetWindowLongPtrA(child, DWLP_MSGRESULT, 1);
      }
      return TRUE;
    }
    default:
      return 0;
  }
}

}  // namespace

UINT_PTR CALLBACK FolderPickHook(HWND window, UINT message, WPARAM, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      auto* ofn = reinterpret_cast<OPENFILENAMEA*>(lParam);
      SetWindowLongPtrA(window, GWLP_USERDATA, lParam);
      HWND parent = GetParent(window);
      ShowWindow(GetDlgItem(parent, fileNameFieldId(*ofn)), SW_HIDE);
      ShowWindow(GetDlgItem(parent, stc2), SW_HIDE);
      ShowWindow(GetDlgItem(parent, cmb1), SW_HIDE);
      const FolderPickRequest& request = requestOf(*ofn);
      SetDlgItemTextA(parent, IDOK, request.okText);
      SetDlgItemTextA(parent, stc3, request.folderLabel);
      return TRUE;
    }
    case WM_NOTIFY:
      return onNotify(window, *reinterpret_cast<const OFNOTIFYA*>(lParam));
    case WM_SIZE: {
      OPENFILENAMEA* ofn = storedRequest(window);
      if (ofn == nullptr) return 0;
      placeFolderField(window, *ofn);
      FolderPickRequest& request = requestOf(*ofn);
      if (request.justInitialised) {
        request.justInitialised = 0;
        // The dialog may still be sizing itself into place: centre once more if it is that early.
        if (GetTickCount() - request.initialisationTick < kRecentreWindowMs) centrePicker(window, *ofn);
      }
      return 0;
    }
    case WM_DESTROY: {
      if (OPENFILENAMEA* ofn = storedRequest(window)) requestOf(*ofn).justInitialised = 0;
      return 0;
    }
    default:
      return 0;
  }
}

int PickMainFolder(FolderPickRequest& request) {
  char fileName[MAX_PATH] = "a.b";
  OPENFILENAMEA ofn{};
  ofn.lStructSize = kOpenFileNameSize;
  ofn.hwndOwner = request.owner;
  ofn.hInstance = request.instance;
  ofn.lpstrFile = fileName;
  ofn.nMaxFile = MAX_PATH;
  ofn.lpstrInitialDir = request.path;
  ofn.lpstrTitle = request.title;
  ofn.Flags = kPickerFlags;
  ofn.lCustData = reinterpret_cast<LPARAM>(&request);
  ofn.lpfnHook = FolderPickHook;
  ofn.lpTemplateName = KZ_DLG_ASK_FOLDER;

  // The common dialog changes the current directory as the user browses; put it back afterwards.
  const DWORD needed = GetCurrentDirectoryA(0, nullptr);
  std::vector<char> saved(needed + 1, '\0');
  const DWORD length = GetCurrentDirectoryA(needed, saved.data());
  if (length == 0 || length >= needed) return -1;

  int result = -1;
  if (GetOpenFileNameA(&ofn)) {
    result = 1;
  } else if (CommDlgExtendedError() == 0) {
    result = 2;
  }
  SetCurrentDirectoryA(saved.data());
  return result;
}

void CenterOnWorkArea(HWND window, HWND reference) {
  RECT windowRect{};
  RECT workArea{};
  GetWindowRect(window, &windowRect);
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0);
  RECT referenceRect = workArea;
  if (reference != nullptr) GetWindowRect(reference, &referenceRect);
  auto toScreen = [](const RECT& r) { return ScreenRect{r.left, r.top, r.right, r.bottom}; };
  const ScreenPoint origin = centredOrigin(toScreen(windowRect), toScreen(referenceRect), toScreen(workArea));
  SetWindowPos(window, nullptr, origin.x, origin.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

}  // namespace kz::win
