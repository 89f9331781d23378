// Start-up of the updater: single instance, paths, main folder, merge command or main dialog.
#pragma once

#include <windows.h>

namespace kz::win {

// Runs every step of start-up in order and returns when the process should end.
void runStartup(HINSTANCE instance);

}  // namespace kz::win
