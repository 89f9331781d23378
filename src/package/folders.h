// Folder creation for entry paths.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kz {

// Creates a folder and every missing parent. An empty path, or one that exists, succeeds.
bool makeFolders(const char* path);
// Creates the folders that lead to a file path; a bare file name needs none.
bool makeParentFolders(const char* path);

}  // namespace kz
