// The main folder's validation as the progress log shows it: the location line and the error.
#pragma once

#include <string>

#include "app/dialog_view.h"
#include "install/main_folder.h"

namespace kz {

// The log's first line for mainFolder: "Unknown" when none is chosen, otherwise the folder quoted
// with one trailing backslash.
std::string MainFolderLocationLine(const char* mainFolder, MainFolderState state);
// The error text that follows it; nullptr for a valid folder.
const char* MainFolderError(MainFolderState state);

// Restarts the progress log with the location line, then on failure appends the error and sounds
// the hand beep. True when the main folder is valid.
bool ValidateMainFolder(DialogView& view, const char* mainFolder);

}  // namespace kz
