// The character walks over a path, built on the process-wide path service.
#include "platform/path_service.h"

namespace kz::platform {
namespace {

bool isSeparator(char c) { return c == '\\' || c == '/'; }

}  // namespace

bool endsWithBackslash(const char* path) {
  PathService& service = pathService();
  const char* last = nullptr;
  for (const char* p = path; *p != '\0'; p = service.nextChar(p)) last = p;
  return last != nullptr && *last == '\\';
}

size_t parentCut(const char* path) {
  PathService& service = pathService();
  size_t cut = 0;
  for (const char* p = path; *p != '\0'; p = service.nextChar(p)) {
    if (isSeparator(*p)) {
      cut = static_cast<size_t>(p - path);
    } else if (*p == ':') {
      cut = static_cast<size_t>(p - path) + 1;
    }
  }
  return cut;
}

const char* componentEnd(const char* p) {
  PathService& service = pathService();
  while (*p != '\0' && !isSeparator(*p)) p = service.nextChar(p);
  return p;
}

}  // namespace kz::platform
