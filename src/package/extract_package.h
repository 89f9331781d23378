// The extraction step: every entry of a KZ6 form written below the work folder.
#pragma once

#include <cstdint>

#include "package/form_format.h"

namespace kz {

// Why an extraction failed, for the progress log.
enum class ExtractionError : uint8_t {
  None,
  WorkFolder,        // the work folder could not be made the current directory, or left again
  NoPackage,         // package size 0
  NoMemory,          // the decoder's buffers could not be allocated
  NotAPackage,       // the form's head is not a KZ6 form this program reads
  EntryDescription,  // a NAME chunk cannot be read or is refused
  EntryDamaged,      // entry: its BODY is missing or its gzip member failed its check
  EntryNotWritten,   // entry: its folder, file, time or attributes could not be written
};

struct ExtractionFailure {
  ExtractionError error = ExtractionError::None;
  char entry[kEntryPathSize] = {};  // the entry's path, for the two entry errors
};

// Extracts the form of size bytes at form into workFolder. The current directory is the work
// folder while it runs and is restored on every path; false when the saved directory cannot be
// restored, even if every entry was written. Size 0 means no package: false.
// failure, when given, says why an extraction failed.
bool extractForm(const uint8_t* form, uint32_t size, const char* workFolder, ExtractionFailure* failure = nullptr);

// The same for a package area: the header, the little-endian package size, then the form. A
// size field above the capacity reads only the capacity's bytes.
bool extractPackage(const uint8_t* area, const char* workFolder, ExtractionFailure* failure = nullptr);

}  // namespace kz
