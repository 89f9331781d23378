// The extraction step: every entry of a KZ6 form written below the work folder.
#pragma once

#include <cstdint>

namespace kz {

// Extracts the form of size bytes at form into workFolder. The current directory is the work
// folder while it runs and is restored on every path; false when the saved directory cannot be
// restored, even if every entry was written. Size 0 means no package: false.
bool extractForm(const uint8_t* form, uint32_t size, const char* workFolder);

// The same for a package area: the header, the little-endian package size, then the form. A
// size field above the capacity reads only the capacity's bytes.
bool extractPackage(const uint8_t* area, const char* workFolder);

// The updater's own step: its package area into UpdateApp's work folder (declared here, defined
// beside the application state, in the executables that carry a package area).
bool extractPackage();

}  // namespace kz
