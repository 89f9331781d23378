// The application object and the merge target's name.
#include "app/update_app.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/path_service.h"

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

namespace {

// The path folded for comparison, with one separator at its end.
std::string comparable(const char* path) {
  // Walked by characters: only a single-byte character is a separator or an ASCII letter to fold;
  // the second byte of a double-byte character stays as it is.
  platform::PathService& service = platform::pathService();
  std::string out;
  bool endsWithSeparator = false;
  for (const char* p = path; *p != '\0';) {
    const char* next = service.nextChar(p);
    if (next == p + 1) {
      char c = *p == '/' ? '\\' : *p;
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
      out += c;
      endsWithSeparator = c == '\\';
    } else {
      out.append(p, next);
      endsWithSeparator = false;
    }
    p = next;
  }
  if (!endsWithSeparator) out += '\\';
  return out;
}

}  // namespace

bool workFolderMayBeDeleted(const UpdateApp& app) {
  if (app.workFolder[0] == '\0') return false;
  if (app.mainFolder[0] == '\0') return true;
  const std::string work = comparable(app.workFolder);
  const std::string main = comparable(app.mainFolder);
  const bool mainHoldsWork = work.compare(0, main.size(), main) == 0;
  const bool workHoldsMain = main.compare(0, work.size(), work) == 0;
  return !mainHoldsWork && !workHoldsMain;
}

bool copyPathField(char (&field)[platform::kMaxPath], const char* text) {
  const size_t length = std::strlen(text);
  if (length >= platform::kMaxPath) return false;
  std::memcpy(field, text, length + 1);
  return true;
}

}  // namespace kz
