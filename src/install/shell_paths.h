// Path joins made by the shell's path helpers (through the platform's path service), on 260-byte
// buffers that refuse to overflow.
#pragma once

#include <cstdint>

#include "platform/files.h"

namespace kz::paths {

// PathAppendA: joins with one backslash (none added when path is empty or already ends with one;
// leading backslashes of part are dropped). False, path unchanged, when the result does not fit.
bool append(char (&path)[platform::kMaxPath], const char* part);
// PathAddBackslashA. False, path unchanged, when there is no room.
bool addBackslash(char (&path)[platform::kMaxPath]);
// PathRemoveBackslashA: a trailing backslash goes, except the one of a drive root such as "C:\".
void removeBackslash(char (&path)[platform::kMaxPath]);
// PathRenameExtensionA: replaces the extension of the last component (or adds one). extension
// includes its dot. False, path unchanged, when the result does not fit.
bool renameExtension(char (&path)[platform::kMaxPath], const char* extension);
// Copies text into path; false, path unchanged, when it does not fit.
bool assign(char (&path)[platform::kMaxPath], const char* text);
// base, then relative appended as by append. False when the result does not fit: out then holds
// base alone, or is unchanged when base does not fit either.
bool join(char (&out)[platform::kMaxPath], const char* base, const char* relative);

}  // namespace kz::paths
