// Moving a file into place, as the shell's silent move does it.
//
// The destination names the file itself: missing folders on its way are created, an existing file
// of that name is replaced, and no question, progress or error window appears. A move across
// volumes copies the file, with its attributes and times, and then deletes the source.
#pragma once

#include "platform/service_override.h"
namespace kz::platform {

class ShellMover {
 public:
  virtual ~ShellMover() = default;
  // True when the move succeeded. owner is the window that would own any shell window (none
  // appears); nullptr when there is none.
  virtual bool moveFile(const char* source, const char* destination, void* owner) = 0;
};

ShellMover& nativeShellMover();
inline ShellMover& shellMover() { return currentService(nativeShellMover); }

using ScopedShellMover = ScopedOverride<ShellMover>;

}  // namespace kz::platform
