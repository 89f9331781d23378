// Path joins made by the shell's path helpers (through the platform's path service), on 260-byte
// buffers that refuse to overflow.
#pragma once

#include <cstdint>

namespace kz::paths {

inline constexpr uint32_t kPathSize = 260;

// PathAppendA: joins with one backslash (none added when path is empty or already ends with one;
// leading backslashes of part are dropped). False, path unchanged, when the result does not fit.
bool append(char (&path)[kPathSize], const char* part);
// PathAddBackslashA. False, path unchanged, when there is no room.
bool addBackslash(char (&path)[kPathSize]);
// PathRemoveBackslashA: a trailing backslash goes, except the one of a drive root such as "C:\".
void removeBackslash(char (&path)[kPathSize]);
// PathRenameExtensionA: replaces the extension of the last component (or adds one). extension
// includes its dot. False, path unchanged, when the result does not fit.
bool renameExtension(char (&path)[kPathSize], const char* extension);
// Copies text into path; false, path unchanged, when it does not fit.
bool assign(char (&path)[kPathSize], const char* text);
// base, then relative appended as by append. False when the result does not fit: out then holds
// base alone, or is unchanged when base does not fit either.
bool join(char (&out)[kPathSize], const char* base, const char* relative);

}  // namespace kz::paths
