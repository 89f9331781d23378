// Win32 file services: each operation is the one Win32 or C runtime call it stands for.
#include "platform/files.h"

#include <windows.h>
#include <shlwapi.h>
#include <sys/utime.h>

namespace kz::platform {
namespace {

class Win32FileSystem final : public FileSystem {
 public:
  uint32_t currentDirectory(char* buffer, uint32_t size) override {
    return GetCurrentDirectoryA(size, buffer);
  }
  bool setCurrentDirectory(const char* path) override { return SetCurrentDirectoryA(path) != FALSE; }
  uint32_t windowsDirectory(char* buffer, uint32_t size) override {
    return GetWindowsDirectoryA(buffer, size);
  }
  uint32_t tempPath(char* buffer, uint32_t size) override { return GetTempPathA(size, buffer); }
  uint32_t tempFileName(const char* folder, const char* prefix, char* out) override {
    return GetTempFileNameA(folder, prefix, 0, out);
  }
  bool createDirectory(const char* path) override { return CreateDirectoryA(path, nullptr) != FALSE; }
  bool deleteFile(const char* path) override { return DeleteFileA(path) != FALSE; }
  uint32_t fileAttributes(const char* path) override { return GetFileAttributesA(path); }
  bool setFileAttributes(const char* path, uint32_t attributes) override {
    return SetFileAttributesA(path, attributes) != FALSE;
  }
  bool fileInfo(const char* path, FileInfo& info) override {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return false;
    info.attributes = data.dwFileAttributes;
    info.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return true;
  }
  bool setFileTime(const char* path, int64_t secondsSince1970) override {
    // _utime64 sets last-access and last-write together; the creation time is left alone.
    struct __utimbuf64 times {};
    times.actime = secondsSince1970;
    times.modtime = secondsSince1970;
    return _utime64(path, &times) == 0;
  }
  bool pathExists(const char* path) override { return PathFileExistsA(path) != FALSE; }
  std::FILE* openFile(const char* path, const char* mode) override { return std::fopen(path, mode); }
};

}  // namespace

FileSystem& nativeFileSystem() {
  static Win32FileSystem instance;
  return instance;
}

}  // namespace kz::platform
