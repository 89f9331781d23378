// The portable reading of a file's product version.
#include "platform/file_version.h"

#include <memory>
#include <new>

#include "platform/files.h"
#include "platform/pe_version.h"

namespace kz::platform {
namespace {
// Larger files are not executables this updater knows; refusing them bounds the allocation.
constexpr long kLargestFile = 256L * 1024 * 1024;
}  // namespace

uint64_t portableProductVersion(const char* path) {
  std::FILE* file = fileSystem().openFile(path, "rb");
  if (file == nullptr) return 0;
  uint64_t version = 0;
  long size = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
  if (size > 0 && size <= kLargestFile && std::fseek(file, 0, SEEK_SET) == 0) {
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[static_cast<size_t>(size)]);
    if (buffer && std::fread(buffer.get(), static_cast<size_t>(size), 1, file) == 1) {
      FixedVersionInfo info;
      if (readPeVersion(buffer.get(), static_cast<size_t>(size), info) == PeVersionStatus::Found) {
        version = info.productVersion();
      }
    }
  }
  std::fclose(file);
  return version;
}

}  // namespace kz::platform
