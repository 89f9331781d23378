// The product version through the Win32 version API.
#include <windows.h>

#include <memory>
#include <new>

#include "platform/file_version.h"

namespace kz::platform {
namespace {

class Win32FileVersions final : public FileVersions {
 public:
  uint64_t productVersion(const char* path) override {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path, &ignored);
    if (size == 0) return 0;
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[size]);
    if (!buffer) return 0;
    if (!GetFileVersionInfoA(path, 0, size, buffer.get())) return 0;
    void* value = nullptr;
    UINT length = 0;
    // "\\" is the root block, whose value is the VS_FIXEDFILEINFO record.
    char root[] = "\\";
    if (!VerQueryValueA(buffer.get(), root, &value, &length) || value == nullptr ||
        length < sizeof(VS_FIXEDFILEINFO)) {
      return 0;
    }
    const auto* info = static_cast<const VS_FIXEDFILEINFO*>(value);
    return (static_cast<uint64_t>(info->dwProductVersionMS) << 32) | info->dwProductVersionLS;
  }
};

}  // namespace

FileVersions& nativeFileVersions() {
  static Win32FileVersions instance;
  return instance;
}

}  // namespace kz::platform
