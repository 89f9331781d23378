// The main-folder picker: the Explorer-style open dialog turned into a folder chooser by a child
// template and a hook.
#pragma once

#include <windows.h>

#include <cstdint>

namespace kz::win {

// What the main dialog's button hands the picker; the hook reads and updates it while the picker
// is open. It travels as the dialog's custom data.
struct FolderPickRequest {
  HINSTANCE instance;      // holds the child template
  HWND owner;              // the main dialog
  uint8_t centreOnOwner;   // 1: centre on owner; 0: on the desktop work area
  const char* title;       // 1035
  const char* okText;      // 1036
  const char* folderLabel; // 1037
  char path[MAX_PATH];     // in: the initial folder; out: the chosen folder
  uint8_t justInitialised; // set once the picker is initialised, cleared at its next resize or close
  uint32_t initialisationTick;
};

// 1: a folder was chosen (in request.path); 2: the user cancelled; -1: the dialog failed to run
// or the current directory could not be read. The current directory is the same afterwards.
int PickMainFolder(FolderPickRequest& request);

UINT_PTR CALLBACK FolderPickHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Centres window on reference (or on the work area when reference is nullptr), inside the work area.
void CenterOnWorkArea(HWND window, HWND reference);

}  // namespace kz::win
