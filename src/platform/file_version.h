// The product version of a file, from its version resource.
//
// The result is dwProductVersionMS in the high and dwProductVersionLS in the low 32 bits; 0 when
// the file has no readable version resource. On Windows it comes from the version API, elsewhere
// from the portable PE reader (pe_version.h).
#pragma once

#include <cstdint>

#include "platform/service_override.h"

namespace kz::platform {

class FileVersions {
 public:
  virtual ~FileVersions() = default;
  virtual uint64_t productVersion(const char* path) = 0;
};

FileVersions& nativeFileVersions();
inline FileVersions& fileVersions() { return currentService(nativeFileVersions); }

using ScopedFileVersions = ScopedOverride<FileVersions>;

// Reads a whole file through the file service and hands it to the portable PE reader; the POSIX
// service is this, and the host tool uses it directly. 0 when the file cannot be read or has no
// version resource.
uint64_t portableProductVersion(const char* path);

}  // namespace kz::platform
