// Folder creation for entry paths, and the path text helpers that extraction and merge share.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kz {

// Creates a folder and every missing parent. An empty path, or one that exists, succeeds.
bool makeFolders(const char* path);
// Creates the folders that lead to a file path; a bare file name needs none.
bool makeParentFolders(const char* path);

// Where a path's parent part ends: at the last '\' or '/', or just after the last ':'; 0 when the
// path has none of them.
size_t parentCut(const char* path);

// Appends a backslash unless the path already ends in a separator (PathAddBackslashA, which the
// POSIX stand-in's temporary folder, ending in '/', also satisfies). False when it does not fit.
bool addBackslash(char* path, size_t size);
// Removes one trailing backslash, unless it belongs to a drive root such as "C:\".
void removeBackslash(char* path);

}  // namespace kz
