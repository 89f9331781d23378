// The in-use probe on Windows: an open for writing that shares nothing.
#include <windows.h>

#include "platform/file_probe.h"

namespace kz::platform {
namespace {

class Win32FileProbe final : public FileProbe {
 public:
  bool openExclusively(const char* path) override {
    // Share mode 0 makes the open fail while any other handle to the file exists, including a
    // running image or a loaded library.
    HANDLE handle = CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    CloseHandle(handle);
    return true;
  }
};

}  // namespace

FileProbe& nativeFileProbe() {
  static Win32FileProbe instance;
  return instance;
}

}  // namespace kz::platform
