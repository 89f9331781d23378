// The main update dialog's window: renders the presenter and forwards the user's commands to it.
#pragma once

#include <windows.h>

namespace kz::win {

// Creates the main dialog with no parent, runs it modally and returns once it has closed.
void runUpdateDialog(HINSTANCE instance);

}  // namespace kz::win
