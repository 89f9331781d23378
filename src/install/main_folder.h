// Main-folder validation: does the folder hold the product's data sub-folders?
#pragma once

#include "install/install_dialog.h"

namespace kz {

// The product version the validation always asks about: every sub-folder is tested.
inline constexpr double kValidatedProductVersion = 6.0;

// True when every sub-folder tested for that product version exists in folder (a file of the same
// name passes too). False as well when a sub-folder's path would not fit in 260 bytes.
bool ProductSubfoldersPresent(const char* folder, double productVersion);

// Restarts the progress log with the location line; on failure appends the error and sounds the
// hand beep. True when the main folder is valid.
bool ValidateMainFolder(InstallDialog& dialog, const char* mainFolder);

}  // namespace kz
