// File services of the platform boundary: folders, files, attributes, times and streams.
//
// Paths are NUL-terminated 8-bit strings of at most 259 characters. On Windows they are used as
// they are. The POSIX stand-in turns the backslashes of a path into slashes, so a relative path
// such as "bin\name.dll" names the same file on both; absolute paths there are native ones.
//
// Every operation reports through its result, as the Win32 call it stands for does. Tests replace
// the process-wide service with a ScopedFileSystem to observe calls or inject failures.
#pragma once

#include <cstdint>
#include <cstdio>

#include "platform/service_override.h"

namespace kz::platform {

// Windows file attribute bits, used unchanged by both implementations.
inline constexpr uint32_t kAttrReadOnly = 0x01;
inline constexpr uint32_t kAttrHidden = 0x02;
inline constexpr uint32_t kAttrSystem = 0x04;
inline constexpr uint32_t kAttrDirectory = 0x10;
inline constexpr uint32_t kAttrArchive = 0x20;
inline constexpr uint32_t kAttrNormal = 0x80;
// A junction or symbolic link (FILE_ATTRIBUTE_REPARSE_POINT): fileAttributes reports the link's
// own attributes with this bit, as GetFileAttributesA does; the POSIX stand-in so reports a
// symbolic link.
inline constexpr uint32_t kAttrReparsePoint = 0x400;
inline constexpr uint32_t kInvalidAttributes = 0xFFFFFFFFu;

// MAX_PATH: the size of every path buffer, its NUL included; the one name for the limit in all layers.
inline constexpr uint32_t kMaxPath = 260;

// The device that takes any bytes and keeps none: for output that is only decoded to be checked.
#ifdef _WIN32
inline constexpr const char* kNullDevice = "NUL";
#else
inline constexpr const char* kNullDevice = "/dev/null";
#endif

struct FileInfo {
  uint32_t attributes = 0;
  uint64_t size = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // GetCurrentDirectoryA: the length written (without NUL), or the size needed when buffer is
  // too small, or 0 on failure.
  virtual uint32_t currentDirectory(char* buffer, uint32_t size) = 0;
  virtual bool setCurrentDirectory(const char* path) = 0;
  // GetWindowsDirectoryA and GetTempPathA: same length convention as currentDirectory.
  virtual uint32_t windowsDirectory(char* buffer, uint32_t size) = 0;
  virtual uint32_t tempPath(char* buffer, uint32_t size) = 0;
  // GetTempFileNameA with unique number 0: creates an empty file with a new name in folder and
  // writes its full path into out (260 bytes). Returns 0 on failure.
  virtual uint32_t tempFileName(const char* folder, const char* prefix, char* out) = 0;

  virtual bool createDirectory(const char* path) = 0;
  // RemoveDirectoryA: only an empty folder goes.
  virtual bool removeDirectory(const char* path) = 0;
  virtual bool deleteFile(const char* path) = 0;
  // GetFileAttributesA / SetFileAttributesA; kInvalidAttributes when the path cannot be queried.
  virtual uint32_t fileAttributes(const char* path) = 0;
  virtual bool setFileAttributes(const char* path, uint32_t attributes) = 0;
  // GetFileAttributesExA with GetFileExInfoStandard.
  virtual bool fileInfo(const char* path, FileInfo& info) = 0;
  // The C runtime's file-time call: last-access and last-write both set to seconds since 1970 UTC.
  virtual bool setFileTime(const char* path, int64_t secondsSince1970) = 0;
  // PathFileExistsA.
  virtual bool pathExists(const char* path) = 0;
  // A buffered C stream in binary mode ("rb", "wb", "wb+", "rb+"); nullptr when it cannot be opened.
  virtual std::FILE* openFile(const char* path, const char* mode) = 0;
  // A silent shell move (SHFileOperationA FO_MOVE, no owner window, flags 0x0614) of one file onto
  // a file path: an existing destination is replaced without a question. True on success.
  virtual bool moveFile(const char* source, const char* destination) = 0;
  // Whether both paths name one existing file (one volume and file index), however spelt.
  virtual bool sameFile(const char* first, const char* second) = 0;
  // Writes the stream's buffer out and asks the system to put it on the disk before returning
  // (fflush, then FlushFileBuffers on the stream's handle, or fsync). False when either fails. A
  // stream that is no file on a disk (the null device) has nothing to put there: the fflush alone.
  virtual bool flushFile(std::FILE* stream) = 0;
  // Makes the folder's own entries (files created, renamed or deleted in it) durable: fsync of the
  // folder on POSIX. Windows keeps a folder's entries with the file operations themselves, so
  // there it only checks that the folder exists.
  virtual bool flushFolder(const char* path) = 0;
  // Whether the folder lists any entry of its own (FindFirstFileA over "path\*"); false when it
  // is empty or cannot be listed.
  virtual bool folderHoldsEntries(const char* path) = 0;
};

// The implementation of the operating system this program was built for.
FileSystem& nativeFileSystem();
// The process-wide file service: the real one unless a test installed another.
inline FileSystem& fileSystem() { return currentService(nativeFileSystem); }

// Installs a replacement for its lifetime; replacements nest.
using ScopedFileSystem = ScopedOverride<FileSystem>;

// Forwards every call to another service; tests derive from it and override the calls they watch.
class ForwardingFileSystem : public FileSystem {
 public:
  explicit ForwardingFileSystem(FileSystem& inner) : inner_(inner) {}
  uint32_t currentDirectory(char* b, uint32_t s) override { return inner_.currentDirectory(b, s); }
  bool setCurrentDirectory(const char* p) override { return inner_.setCurrentDirectory(p); }
  uint32_t windowsDirectory(char* b, uint32_t s) override { return inner_.windowsDirectory(b, s); }
  uint32_t tempPath(char* b, uint32_t s) override { return inner_.tempPath(b, s); }
  uint32_t tempFileName(const char* f, const char* p, char* o) override { return inner_.tempFileName(f, p, o); }
  bool createDirectory(const char* p) override { return inner_.createDirectory(p); }
  bool removeDirectory(const char* p) override { return inner_.removeDirectory(p); }
  bool deleteFile(const char* p) override { return inner_.deleteFile(p); }
  uint32_t fileAttributes(const char* p) override { return inner_.fileAttributes(p); }
  bool setFileAttributes(const char* p, uint32_t a) override { return inner_.setFileAttributes(p, a); }
  bool fileInfo(const char* p, FileInfo& i) override { return inner_.fileInfo(p, i); }
  bool setFileTime(const char* p, int64_t t) override { return inner_.setFileTime(p, t); }
  bool pathExists(const char* p) override { return inner_.pathExists(p); }
  std::FILE* openFile(const char* p, const char* m) override { return inner_.openFile(p, m); }
  bool moveFile(const char* s, const char* d) override { return inner_.moveFile(s, d); }
  bool sameFile(const char* a, const char* b) override { return inner_.sameFile(a, b); }
  bool flushFile(std::FILE* f) override { return inner_.flushFile(f); }
  bool flushFolder(const char* p) override { return inner_.flushFolder(p); }
  bool folderHoldsEntries(const char* p) override { return inner_.folderHoldsEntries(p); }

 protected:
  FileSystem& inner_;
};

}  // namespace kz::platform
