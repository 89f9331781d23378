// The application object and the merge target's name.
#include "app/update_app.h"

#include <cstdio>
#include <cstring>

namespace kz {

UpdateApp& updateApp() {
  static UpdateApp app;
  return app;
}

uint32_t& activationMessage() {
  static uint32_t number = 0;
  return number;
}

const char* mergeTargetFileName(const UpdateApp& app, char* out, uint32_t outSize) {
  const char* edition = "";
  switch (app.editionCode) {
    case 1: edition = "a"; break;
    case 2: edition = "s"; break;
    case 3: edition = "g5050"; break;
    default: break;
  }
  const char* language = app.languageCode == 1 ? "e" : "f";
  const char* units = app.unitsCode == 0 ? "i" : "m";
  std::snprintf(out, outSize, "k%s%s%s_update611.exe", edition, language, units);
  return out;
}

bool copyPathField(char (&field)[kAppPathSize], const char* text) {
  const size_t length = std::strlen(text);
  if (length >= kAppPathSize) return false;
  std::memcpy(field, text, length + 1);
  return true;
}

}  // namespace kz
