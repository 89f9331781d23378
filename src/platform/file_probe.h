// The in-use probe: whether a file can be opened for writing with no sharing at all.
//
// A file that any process holds open (even only for reading) or has mapped counts as held, and so
// does one this process may not write. The probe closes what it opened and never changes the file.
#pragma once

#include "platform/service_override.h"
namespace kz::platform {

class FileProbe {
 public:
  virtual ~FileProbe() = default;
  // True when the exclusive open for writing succeeded.
  virtual bool openExclusively(const char* path) = 0;
};

FileProbe& nativeFileProbe();
inline FileProbe& fileProbe() { return currentService(nativeFileProbe); }

using ScopedFileProbe = ScopedOverride<FileProbe>;

}  // namespace kz::platform
