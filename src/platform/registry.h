// Registry services of the platform boundary: read, set and delete a string value.
//
// Each operation follows the Win32 helper it stands for and returns a Win32 error code (0 = success).
// On Windows they are the registry calls themselves; the POSIX stand-in keeps both hives in one
// file whose location the caller chooses (see posix/file_registry.h).
#pragma once

#include <cstdint>

#include "platform/service_override.h"

namespace kz::platform {

enum class RegistryRoot : uint8_t { LocalMachine, CurrentUser };

// Win32 error codes the registry helpers report.
inline constexpr uint32_t kErrorSuccess = 0;
inline constexpr uint32_t kErrorFileNotFound = 2;
inline constexpr uint32_t kErrorAccessDenied = 5;
inline constexpr uint32_t kErrorMoreData = 234;
inline constexpr uint32_t kErrorBadKey = 1010;
inline constexpr uint32_t kErrorWriteFault = 29;

// The key under which the product keeps its settings.
inline constexpr const char* kProductSettingsKey = "Software\\RVN\\Kestrome\\6.00\\General";
inline constexpr const char* kMainFolderValue = "Main Folder Path";

class Registry {
 public:
  virtual ~Registry() = default;

  // ReadRegistryString: opens keyPath for reading; on failure size becomes 0 and the open error
  // is returned. Otherwise queries the value into buffer (none: only the size needed is reported),
  // with size in bytes going in and the value's size coming out. A missing value sets size to 0.
  virtual uint32_t readString(RegistryRoot root, const char* keyPath, const char* valueName,
                              char* buffer, uint32_t& size) = 0;
  // SetRegistryString: creates or opens keyPath and sets valueName to text as a string value
  // whose data length counts the terminating NUL.
  virtual uint32_t setString(RegistryRoot root, const char* keyPath, const char* valueName,
                             const char* text) = 0;
  // DeleteRegistryValue: kErrorBadKey for a missing or empty keyPath; otherwise the error of
  // opening the key, of deleting the value, or of closing the key, the first that occurs.
  virtual uint32_t deleteValue(RegistryRoot root, const char* keyPath, const char* valueName) = 0;
};

Registry& nativeRegistry();
inline Registry& registry() { return currentService(nativeRegistry); }

using ScopedRegistry = ScopedOverride<Registry>;

}  // namespace kz::platform
