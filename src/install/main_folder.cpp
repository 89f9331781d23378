// The sub-folder test and the main folder's validation.
#include "install/main_folder.h"

#include "install/shell_paths.h"
#include "platform/files.h"

namespace kz {
namespace {

struct Subfolder {
  const char* name;
  bool fromVersionSix;  // tested only for product version 6.0 or later
};

constexpr Subfolder kSubfolders[] = {
    {"anim", false},         {"bin", true},           {"cameras.set", false}, {"cells.set", false},
    {"colours.set", false},  {"misc.set", false},     {"fonts", true},        {"images.set", false},
    {"patterns.set", false}, {"objects.set", false},  {"profiles.set", false}, {"app_data", true},
    {"scenes.set", false},
};

}  // namespace

bool ProductSubfoldersPresent(const char* folder, double productVersion) {
  char base[platform::kMaxPath];
  if (!paths::assign(base, folder) || !paths::addBackslash(base)) return false;
  for (const Subfolder& sub : kSubfolders) {
    if (sub.fromVersionSix && productVersion < 6.0) continue;
    char path[platform::kMaxPath];
    if (!paths::assign(path, base) || !paths::append(path, sub.name)) return false;
    if (!platform::fileSystem().pathExists(path)) return false;
  }
  return true;
}

MainFolderState CheckMainFolder(const char* mainFolder) {
  if (mainFolder[0] == '\0') return MainFolderState::NotChosen;
  return ProductSubfoldersPresent(mainFolder, kValidatedProductVersion) ? MainFolderState::Valid
                                                                         : MainFolderState::NotProduct;
}

}  // namespace kz
