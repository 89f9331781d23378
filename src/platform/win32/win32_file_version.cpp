// The product version through the Win32 version API, reached in version.dll of the system folder.
//
// version.dll is no KnownDLL: imported by name, the loader would look for it first in the folder of
// the executable, which is wherever the user saved the download. So it is not imported at all, but
// loaded here by the system folder alone, once, when the first version is asked for.
#include <windows.h>

#include <memory>
#include <new>

#include "platform/file_version.h"

namespace kz::platform {
namespace {

using SizeFunction = DWORD(WINAPI*)(LPCSTR, LPDWORD);
using InfoFunction = BOOL(WINAPI*)(LPCSTR, DWORD, DWORD, LPVOID);
using QueryFunction = BOOL(WINAPI*)(LPCVOID, LPCSTR, LPVOID*, PUINT);

struct VersionApi {
  SizeFunction infoSize = nullptr;
  InfoFunction info = nullptr;
  QueryFunction query = nullptr;
};

HMODULE loadSystemVersionDll() {
  // LOAD_LIBRARY_SEARCH_SYSTEM32: the system folder is the only place searched.
  HMODULE module = LoadLibraryExA("version.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module != nullptr) return module;
  // A system without that flag (one lacking the DLL-search update) refuses the call: name the
  // file by its full path instead. LOAD_WITH_ALTERED_SEARCH_PATH makes the DLL's own imports be
  // looked for beside it, in the system folder, not beside the executable.
  char path[MAX_PATH + 16] = {};
  const UINT length = GetSystemDirectoryA(path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  lstrcatA(path, "\\version.dll");
  return LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

// Loaded once and kept for the life of the process; all three or none.
const VersionApi& versionApi() {
  static const VersionApi api = [] {
    VersionApi loaded;
    HMODULE module = loadSystemVersionDll();
    if (module == nullptr) return loaded;
    loaded.infoSize = reinterpret_cast<SizeFunction>(
        reinterpret_cast<void*>(GetProcAddress(module, "GetFileVersionInfoSizeA")));
    loaded.info = reinterpret_cast<InfoFunction>(reinterpret_cast<void*>(GetProcAddress(module, "GetFileVersionInfoA")));
    loaded.query = reinterpret_cast<QueryFunction>(reinterpret_cast<void*>(GetProcAddress(module, "VerQueryValueA")));
    if (loaded.infoSize == nullptr || loaded.info == nullptr || loaded.query == nullptr) return VersionApi{};
    return loaded;
  }();
  return api;
}

class Win32FileVersions final : public FileVersions {
 public:
  uint64_t productVersion(const char* path) override {
    const VersionApi& api = versionApi();
    if (api.infoSize == nullptr) return 0;
    DWORD ignored = 0;
    const DWORD size = api.infoSize(path, &ignored);
    if (size == 0) return 0;
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[size]);
    if (!buffer) return 0;
    if (!api.info(path, 0, size, buffer.get())) return 0;
    void* value = nullptr;
    UINT length = 0;
    // "\\" is the root block, whose value is the VS_FIXEDFILEINFO record.
    if (!api.query(buffer.get(), "\\", &value, &length) || value == nullptr || length < sizeof(VS_FIXEDFILEINFO)) {
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
