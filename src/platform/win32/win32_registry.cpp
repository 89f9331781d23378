// Win32 registry helpers: exactly the calls, rights and options the updater uses.
#include <windows.h>

#include <cstring>

#include "platform/registry.h"

namespace kz::platform {
namespace {

HKEY rootKey(RegistryRoot root) {
  return root == RegistryRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

class Win32Registry final : public Registry {
 public:
  uint32_t readString(RegistryRoot root, const char* keyPath, const char* valueName, char* buffer,
                      uint32_t& size) override {
    HKEY key = nullptr;
    const LONG open = RegOpenKeyExA(rootKey(root), keyPath, 0, KEY_READ, &key);
    if (open != ERROR_SUCCESS) {
      size = 0;
      return static_cast<uint32_t>(open);
    }
    DWORD length = size;
    // The value's type is not asked for: a value of any type is read as the bytes it holds.
    const LONG query = RegQueryValueExA(key, valueName, nullptr, nullptr,
                                        reinterpret_cast<BYTE*>(buffer), &length);
    size = length;
    const LONG close = RegCloseKey(key);
    if (query == ERROR_FILE_NOT_FOUND) size = 0;
    return static_cast<uint32_t>(query != ERROR_SUCCESS ? query : close);
  }

  uint32_t setString(RegistryRoot root, const char* keyPath, const char* valueName,
                     const char* text) override {
    HKEY key = nullptr;
    char emptyClass[1] = {'\0'};
    const LONG create = RegCreateKeyExA(rootKey(root), keyPath, 0, emptyClass, REG_OPTION_NON_VOLATILE,
                                        KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (create != ERROR_SUCCESS) return static_cast<uint32_t>(create);
    const DWORD length = static_cast<DWORD>(std::strlen(text) + 1);
    const LONG set = RegSetValueExA(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), length);
    const LONG close = RegCloseKey(key);
    return static_cast<uint32_t>(set != ERROR_SUCCESS ? set : close);
  }

  uint32_t deleteValue(RegistryRoot root, const char* keyPath, const char* valueName) override {
    if (keyPath == nullptr || *keyPath == '\0') return kErrorBadKey;
    HKEY key = nullptr;
    // KEY_WRITE | DELETE (0x30006): enough to remove a value, no more.
    const LONG open = RegOpenKeyExA(rootKey(root), keyPath, 0, KEY_WRITE | DELETE, &key);
    if (open != ERROR_SUCCESS) return static_cast<uint32_t>(open);
    const LONG removed = RegDeleteValueA(key, valueName);
    const LONG close = RegCloseKey(key);
    return static_cast<uint32_t>(removed != ERROR_SUCCESS ? removed : close);
  }
};

}  // namespace

Registry& nativeRegistry() {
  static Win32Registry instance;
  return instance;
}

}  // namespace kz::platform
