// The shell's silent move of one file, judged by what it did to the file system.
#pragma once

#include <windows.h>

namespace kz::platform {

// Moves source onto the file path destination with SHFileOperationA FO_MOVE and the flags
// FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI (0x0614). True only when
// the shell reports success, reports no aborted operation, and afterwards the source is gone and
// a file (not a folder) stands at the destination. A folder already standing at the destination
// is refused before anything is moved: the shell would put the file inside it.
bool shellMoveFile(const char* source, const char* destination, HWND owner);

}  // namespace kz::platform
