// Main-folder validation: does the folder hold the product's data sub-folders?
#pragma once

#include <cstdint>

namespace kz {

// The product version the validation always asks about: every sub-folder is tested.
inline constexpr double kValidatedProductVersion = 6.0;

// True when every sub-folder tested for that product version exists in folder (a file of the same
// name passes too). False as well when a sub-folder's path would not fit in 260 bytes.
bool ProductSubfoldersPresent(const char* folder, double productVersion);

// What the validation found; the application layer turns it into the progress log's lines.
enum class MainFolderState : uint8_t {
  Valid,       // every sub-folder of kValidatedProductVersion is there
  NotChosen,   // the main folder is empty: none was found or chosen
  NotProduct,  // a sub-folder is missing, or its path would not fit
};

MainFolderState CheckMainFolder(const char* mainFolder);

}  // namespace kz
