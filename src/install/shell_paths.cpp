// The path helpers: bounded copies, and joins made by the platform's path service.
#include "install/shell_paths.h"

#include <cstring>

#include "platform/path_service.h"

namespace kz::paths {

bool assign(char (&path)[platform::kMaxPath], const char* text) {
  const size_t length = std::strlen(text);
  if (length >= platform::kMaxPath) return false;
  std::memcpy(path, text, length + 1);
  return true;
}

bool append(char (&path)[platform::kMaxPath], const char* part) { return platform::pathService().append(path, part); }

bool join(char (&out)[platform::kMaxPath], const char* base, const char* relative) {
  return assign(out, base) && append(out, relative);
}

bool addBackslash(char (&path)[platform::kMaxPath]) { return platform::pathService().addBackslash(path); }

void removeBackslash(char (&path)[platform::kMaxPath]) { platform::pathService().removeBackslash(path); }

bool renameExtension(char (&path)[platform::kMaxPath], const char* extension) {
  return platform::pathService().renameExtension(path, extension);
}

}  // namespace kz::paths
