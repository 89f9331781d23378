// The copy step's file operations, each judged by what it did to the file system, not by what
// the call reported: whether a path is there, moving a file into place, deleting a file or an
// empty folder, and reading a file's identity.
#pragma once

#include <cstdint>

namespace kz {

// A failing query can only ever say "not there": a path counts as absent when two different
// queries agree, so that no single failure makes a file seem gone.
bool IsPresent(const char* path);

// The shell's silent move of one file onto the destination's own name, judged by its effect: true
// when the shell reports success, the destination exists and the source does not.
bool MoveFileIntoPlace(const char* source, const char* destination, void* owner);

// True when the file is gone afterwards or was never there; a read-only file is made writable first.
bool DeleteFileForced(const char* path);

// True when the folder is gone afterwards: removed (only an empty one goes) or never there.
bool RemoveFolder(const char* path);

// The size and CRC-32 of a file, read through the platform's file service; false when it cannot
// be read (or is 4 GiB or more).
bool ReadFileIdentity(const char* path, uint32_t& size, uint32_t& crc);

}  // namespace kz
