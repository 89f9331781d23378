// The updater's entry point: everything happens in start-up, and there is no message loop after it.
#include <windows.h>

#include "startup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  kz::win::runStartup(instance, commandLine);
  return 0;
}
