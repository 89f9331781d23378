// POSIX stand-in for the shell's path helpers: one byte is one character, and a slash separates as
// a backslash does (the file services turn backslashes into slashes).
#include <cstring>

#include "platform/path_service.h"

namespace kz::platform {
namespace {

bool isSeparator(char c) { return c == '\\' || c == '/'; }

// "\" and "X:\" (or their slash spellings) are roots, whose separator stays.
bool isRoot(const char* path, size_t length) {
  return (length == 1 && isSeparator(path[0])) || (length == 3 && path[1] == ':' && isSeparator(path[2]));
}

class PosixPathService final : public PathService {
 public:
  const char* nextChar(const char* p) override { return *p == '\0' ? p : p + 1; }

  bool append(char* path, const char* more) override {
    while (*more == '\\') ++more;
    const size_t length = std::strlen(path);
    const bool separator = length > 0 && !isSeparator(path[length - 1]);
    const size_t moreLength = std::strlen(more);
    if (length + (separator ? 1 : 0) + moreLength >= kMaxPath) return false;
    char* end = path + length;
    if (separator) *end++ = '\\';
    std::memcpy(end, more, moreLength + 1);
    return true;
  }

  bool addBackslash(char* path) override {
    const size_t length = std::strlen(path);
    if (length == 0 || isSeparator(path[length - 1])) return true;  // an empty path stays empty
    if (length + 1 >= kMaxPath) return false;
    path[length] = '\\';
    path[length + 1] = '\0';
    return true;
  }

  void removeBackslash(char* path) override {
    const size_t length = std::strlen(path);
    if (length == 0 || path[length - 1] != '\\' || isRoot(path, length)) return;
    path[length - 1] = '\0';
  }

  void removeFileSpec(char* path) override {
    char* p = path;
    char* cut = path;
    // A leading separator (or the two of a network path) belongs to the root.
    if (isSeparator(*p)) cut = ++p;
    if (isSeparator(*p)) cut = ++p;
    while (*p != '\0') {
      if (isSeparator(*p)) {
        cut = p;
      } else if (*p == ':') {
        // A drive's separator is part of its root and is stepped over.
        cut = ++p;
        if (isSeparator(*p)) ++cut;
      }
      if (*p != '\0') ++p;
    }
    *cut = '\0';
  }

  bool renameExtension(char* path, const char* extension) override {
    const size_t length = std::strlen(path);
    size_t cut = length;
    for (size_t i = length; i > 0; --i) {
      const char c = path[i - 1];
      if (isSeparator(c) || c == ':') break;
      if (c == '.') {
        cut = i - 1;
        break;
      }
    }
    const size_t extensionLength = std::strlen(extension);
    if (cut + extensionLength >= kMaxPath) return false;
    std::memcpy(path + cut, extension, extensionLength + 1);
    return true;
  }
};

}  // namespace

PathService& nativePathService() {
  static PosixPathService instance;
  return instance;
}

}  // namespace kz::platform
