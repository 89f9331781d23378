// A stand-in for a double-byte system code page (the lead bytes of code page 932): a lead byte and
// the byte after it are one character. Only the walk differs; the helpers are the POSIX ones.
#pragma once

#include "platform/path_service.h"

namespace kz::test {

class DoubleBytePathService final : public platform::PathService {
 public:
  const char* nextChar(const char* p) override {
    if (*p == '\0') return p;
    const auto c = static_cast<unsigned char>(*p);
    const bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    return lead && p[1] != '\0' ? p + 2 : p + 1;
  }
  bool append(char* path, const char* more) override { return native().append(path, more); }
  bool addBackslash(char* path) override { return native().addBackslash(path); }
  void removeBackslash(char* path) override { native().removeBackslash(path); }
  void removeFileSpec(char* path) override { native().removeFileSpec(path); }
  bool renameExtension(char* path, const char* e) override { return native().renameExtension(path, e); }

 private:
  static platform::PathService& native() { return platform::nativePathService(); }
};

}  // namespace kz::test
