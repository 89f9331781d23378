// Win32 file services: each operation is the one Win32 or C runtime call it stands for.
#include "platform/files.h"

#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <io.h>
#include <sys/utime.h>

#include <cstring>
#include <string>

#include "platform/win32/win32_shell_operation.h"

namespace kz::platform {
namespace {

bool fileIdentity(const char* path, BY_HANDLE_FILE_INFORMATION& info) {
  // Opened for no access at all: the identity can be read even while another process writes it.
  HANDLE h = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  const BOOL ok = GetFileInformationByHandle(h, &info);
  CloseHandle(h);
  return ok != FALSE;
}

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
  bool removeDirectory(const char* path) override { return RemoveDirectoryA(path) != FALSE; }
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
  bool moveFile(const char* source, const char* destination) override {
    return shellMoveFile(source, destination, nullptr);
  }
  bool sameFile(const char* first, const char* second) override {
    BY_HANDLE_FILE_INFORMATION a{};
    BY_HANDLE_FILE_INFORMATION b{};
    if (!fileIdentity(first, a) || !fileIdentity(second, b)) return false;
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
           a.nFileIndexLow == b.nFileIndexLow;
  }
  bool flushFile(std::FILE* stream) override {
    if (stream == nullptr || std::fflush(stream) != 0) return false;
    const intptr_t handle = _get_osfhandle(_fileno(stream));
    if (handle == -1) return false;
    // A device such as NUL keeps nothing, and need not accept the flush.
    if (GetFileType(reinterpret_cast<HANDLE>(handle)) != FILE_TYPE_DISK) return true;
    return FlushFileBuffers(reinterpret_cast<HANDLE>(handle)) != FALSE;
  }
  bool flushFolder(const char* path) override {
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }
  bool folderHoldsEntries(const char* path) override {
    std::string pattern = path;
    if (!pattern.empty() && pattern.back() != '\\') pattern += '\\';
    pattern += '*';
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return false;
    bool any = false;
    do {
      any = std::strcmp(data.cFileName, ".") != 0 && std::strcmp(data.cFileName, "..") != 0;
    } while (!any && FindNextFileA(find, &data));
    FindClose(find);
    return any;
  }
};

}  // namespace

FileSystem& nativeFileSystem() {
  static Win32FileSystem instance;
  return instance;
}

}  // namespace kz::platform
