// The copy step's file operations over the platform's file and shell services.
#include "install/file_operations.h"

#include <cstdio>

#include "package/crc32.h"
#include "platform/files.h"
#include "platform/shell_move.h"

namespace kz {

bool IsPresent(const char* path) {
  platform::FileSystem& fs = platform::fileSystem();
  return fs.fileAttributes(path) != platform::kInvalidAttributes || fs.pathExists(path);
}

bool MoveFileIntoPlace(const char* source, const char* destination, void* owner) {
  if (source[0] == '\0' || destination[0] == '\0') return false;
  const bool reported = platform::shellMover().moveFile(source, destination, owner);
  // A move that did nothing, or copied without removing its source, is no move.
  return reported && IsPresent(destination) && !IsPresent(source);
}

bool DeleteFileForced(const char* path) {
  platform::FileSystem& fs = platform::fileSystem();
  const uint32_t attributes = fs.fileAttributes(path);
  if (attributes == platform::kInvalidAttributes && !fs.pathExists(path)) return true;
  if (attributes != platform::kInvalidAttributes && (attributes & platform::kAttrReadOnly) != 0) {
    (void)fs.setFileAttributes(path, attributes & ~platform::kAttrReadOnly);
  }
  (void)fs.deleteFile(path);
  return !IsPresent(path);
}

bool RemoveFolder(const char* path) {
  if (platform::fileSystem().removeDirectory(path)) return true;
  return !IsPresent(path);
}

bool ReadFileIdentity(const char* path, uint32_t& size, uint32_t& crc) {
  std::FILE* stream = platform::fileSystem().openFile(path, "rb");
  if (stream == nullptr) return false;
  uint64_t total = 0;
  uint32_t reg = 0xFFFFFFFFu;
  uint8_t buffer[16384];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, stream)) > 0) {
    reg = crc32Register(reg, buffer, got);
    total += got;
  }
  const bool read = std::ferror(stream) == 0 && total <= 0xFFFFFFFFu;
  std::fclose(stream);
  size = static_cast<uint32_t>(total);
  crc = reg ^ 0xFFFFFFFFu;
  return read;
}

}  // namespace kz
