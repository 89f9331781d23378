// The sub-folder test and the validation's log lines.
#include "install/main_folder.h"

#include <string>

#include "app/string_table.h"
#include "install/shell_paths.h"
#include "platform/beep.h"
#include "platform/files.h"
#include "platform/message_format.h"
#include "platform/path_service.h"

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

bool ValidateMainFolder(InstallDialog& dialog, const char* mainFolder) {
  std::string location;
  const char* error = nullptr;
  if (mainFolder[0] == '\0') {
    location = strings::lookup(strings::kLocationUnknown);
    error = strings::lookup(strings::kErrorNoMainFolder);
  } else {
    location = std::string("\"") + mainFolder;
    if (!platform::endsWithBackslash(mainFolder)) location += '\\';
    location += '"';
    if (!ProductSubfoldersPresent(mainFolder, kValidatedProductVersion)) {
      error = strings::lookup(strings::kErrorCorruptMainFolder);
    }
  }
  const std::string line = platform::messageFormatter().format(strings::lookup(strings::kLocationLine), {location.c_str()});
  dialog.AppendLog(line.c_str(), true);
  if (error == nullptr) return true;
  dialog.AppendLog(error, false);
  dialog.Beep(platform::kBeepHand);
  return false;
}

}  // namespace kz
