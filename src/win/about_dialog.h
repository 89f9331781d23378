// The About box: the build's title and the maker's notice.
#pragma once

#include <windows.h>

namespace kz::win {

// Runs the About box modally, owned by owner; title is the main dialog's caption.
void runAboutDialog(HINSTANCE instance, HWND owner, const char* title);

}  // namespace kz::win
