// The updater's entry point: everything happens in start-up, and there is no message loop after it.
#include <windows.h>

#include "startup.h"

namespace {

// Every DLL this process loads from now on (the folder picker loads many) comes from the system
// folder, never from the folder of the executable, which is wherever the user saved the download.
// The call is looked up instead of imported: a system without the DLL-search update lacks it and
// would refuse to start a program that imports it; there the system's default order stays.
void searchDllsInSystemFolderOnly() {
  using SetDefaultDirectories = BOOL(WINAPI*)(DWORD);
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  if (kernel == nullptr) return;
  const auto setDefault = reinterpret_cast<SetDefaultDirectories>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (setDefault != nullptr) setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  searchDllsInSystemFolderOnly();
  kz::win::runStartup(instance, commandLine);
  return 0;
}
