// The path helpers: bounded copies and joins.
#include "install/shell_paths.h"

#include <cstring>

namespace kz::paths {

bool assign(char (&path)[kPathSize], const char* text) {
  const size_t length = std::strlen(text);
  if (length >= kPathSize) return false;
  std::memcpy(path, text, length + 1);
  return true;
}

bool append(char (&path)[kPathSize], const char* part) {
  while (*part == '\\') ++part;
  const size_t length = std::strlen(path);
  const bool separator = length > 0 && path[length - 1] != '\\';
  const size_t partLength = std::strlen(part);
  if (length + (separator ? 1 : 0) + partLength >= kPathSize) return false;
  char* end = path + length;
  if (separator) *end++ = '\\';
  std::memcpy(end, part, partLength + 1);
  return true;
}

bool addBackslash(char (&path)[kPathSize]) {
  const size_t length = std::strlen(path);
  if (length > 0 && path[length - 1] == '\\') return true;
  if (length + 1 >= kPathSize) return false;
  path[length] = '\\';
  path[length + 1] = '\0';
  return true;
}

void removeBackslash(char (&path)[kPathSize]) {
  const size_t length = std::strlen(path);
  if (length == 0 || path[length - 1] != '\\') return;
  if (length == 3 && path[1] == ':') return;  // "C:\" stays a root
  path[length - 1] = '\0';
}

bool renameExtension(char (&path)[kPathSize], const char* extension) {
  const size_t length = std::strlen(path);
  size_t cut = length;
  for (size_t i = length; i > 0; --i) {
    const char c = path[i - 1];
    if (c == '\\' || c == '/' || c == ':') break;
    if (c == '.') {
      cut = i - 1;
      break;
    }
  }
  const size_t extensionLength = std::strlen(extension);
  if (cut + extensionLength >= kPathSize) return false;
  std::memcpy(path + cut, extension, extensionLength + 1);
  return true;
}

}  // namespace kz::paths
