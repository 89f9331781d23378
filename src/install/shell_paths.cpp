// The path helpers: bounded copies, and joins made by the platform's path service.
#include "install/shell_paths.h"

#include <cstring>

#include "platform/path_service.h"

namespace kz::paths {

static_assert(kPathSize == platform::kPathServiceSize);

bool assign(char (&path)[kPathSize], const char* text) {
  const size_t length = std::strlen(text);
  if (length >= kPathSize) return false;
  std::memcpy(path, text, length + 1);
  return true;
}

bool append(char (&path)[kPathSize], const char* part) { return platform::pathService().append(path, part); }

bool join(char (&out)[kPathSize], const char* base, const char* relative) {
  return assign(out, base) && append(out, relative);
}

bool addBackslash(char (&path)[kPathSize]) { return platform::pathService().addBackslash(path); }

void removeBackslash(char (&path)[kPathSize]) { platform::pathService().removeBackslash(path); }

bool renameExtension(char (&path)[kPathSize], const char* extension) {
  return platform::pathService().renameExtension(path, extension);
}

}  // namespace kz::paths
