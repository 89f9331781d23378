// The system's temporary folder and the work folder made inside it for one run of the updater.
#pragma once

#include <cstdint>

namespace kz {

// The temporary folder as the system reports it with the Windows folder as the current directory,
// or the Windows folder when that does not exist; with a trailing backslash. out holds 260 bytes;
// on failure it is empty and the result false. The current directory is restored.
bool systemTempFolder(char* out);

// Creates a new folder "~KM<hex>.TMP" in the temporary folder, private to administrators and held
// open (admin_folders.h). True and its path with a trailing backslash in out (260 bytes), or false
// and out empty.
bool createWorkFolder(char* out);

// Lets go of the work folder's hold and deletes it with everything in it, following no link.
void deleteWorkFolder(const char* path);

}  // namespace kz
