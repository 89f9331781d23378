// Start-up of the updater: single instance, paths, main folder, merge command or main dialog.
#pragma once

#include <windows.h>

namespace kz::win {

// Runs every step of start-up in order and returns when the process should end. commandLine is the
// text after the program's name, where a merge command may stand.
void runStartup(HINSTANCE instance, const char* commandLine);

}  // namespace kz::win
