// Path text services of the platform boundary: the shell's path helpers and the walk over a path's
// characters, so that no caller needs to look at a path byte by byte.
//
// On Windows a path is text in the system code page, where a character may take two bytes and the
// second of them may be 0x5C, the value of a backslash: only the system's own helpers (PathAppendA
// and its kin, CharNextA) tell such a byte from a separator. The POSIX stand-in treats every byte as
// a character and accepts a slash wherever a backslash separates.
//
// Every buffer is a 260-byte (MAX_PATH) path buffer holding a NUL-terminated text.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/files.h"
#include "platform/service_override.h"

namespace kz::platform {

class PathService {
 public:
  virtual ~PathService() = default;

  // CharNextA: where the character after the one at p begins; p itself at the terminating NUL.
  virtual const char* nextChar(const char* p) = 0;
  // PathAppendA: joins with one backslash, none added when path already ends with one; leading
  // backslashes of more are dropped. False, path unchanged, when the result does not fit.
  virtual bool append(char* path, const char* more) = 0;
  // PathAddBackslashA. False, path unchanged, when there is no room.
  virtual bool addBackslash(char* path) = 0;
  // PathRemoveBackslashA: a trailing backslash goes, except the one of a root such as "C:\".
  virtual void removeBackslash(char* path) = 0;
  // PathRemoveFileSpecA: the last component goes; a root keeps its backslash ("C:\x" gives "C:\",
  // "x" gives "").
  virtual void removeFileSpec(char* path) = 0;
  // PathRenameExtensionA: replaces the last component's extension (or adds one); extension includes
  // its dot. False, path unchanged, when the result does not fit.
  virtual bool renameExtension(char* path, const char* extension) = 0;
};

// The implementation of the operating system this program was built for.
PathService& nativePathService();
// The process-wide service: the real one unless a test installed another.
inline PathService& pathService() { return currentService(nativePathService); }

using ScopedPathService = ScopedOverride<PathService>;

// Walks over path's characters through the process-wide service.

// Whether the last character of path is a backslash (false for an empty path).
bool endsWithBackslash(const char* path);
// Where a path's parent part ends: at the last '\' or '/' character, or just after the last ':';
// 0 when the path has none of them.
size_t parentCut(const char* path);
// Where the component that begins at p ends: at the next '\' or '/' character, or at the NUL.
const char* componentEnd(const char* p);

}  // namespace kz::platform
