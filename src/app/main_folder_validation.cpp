// The validation's log lines and beep.
#include "app/main_folder_validation.h"

#include "app/string_table.h"
#include "platform/beep.h"
#include "platform/message_format.h"
#include "platform/path_service.h"

namespace kz {

std::string MainFolderLocationLine(const char* mainFolder, MainFolderState state) {
  std::string location;
  if (state == MainFolderState::NotChosen) {
    location = strings::lookup(strings::kLocationUnknown);
  } else {
    location = std::string("\"") + mainFolder;
    if (!platform::endsWithBackslash(mainFolder)) location += '\\';
    location += '"';
  }
  return platform::messageFormatter().format(strings::lookup(strings::kLocationLine), {location.c_str()});
}

const char* MainFolderError(MainFolderState state) {
  switch (state) {
    case MainFolderState::Valid: return nullptr;
    case MainFolderState::NotChosen: return strings::lookup(strings::kErrorNoMainFolder);
    case MainFolderState::NotProduct: return strings::lookup(strings::kErrorCorruptMainFolder);
  }
  return nullptr;
}

bool ValidateMainFolder(DialogView& view, const char* mainFolder) {
  const MainFolderState state = CheckMainFolder(mainFolder);
  appendLog(view, MainFolderLocationLine(mainFolder, state).c_str(), true);
  const char* error = MainFolderError(state);
  if (error == nullptr) return true;
  appendLog(view, error, false);
  view.beep(platform::kBeepHand);
  return false;
}

}  // namespace kz
