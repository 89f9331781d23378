// The registry lookup of the main folder at start-up: size first, then the value itself.
#include "app/main_folder_lookup.h"

#include <cstring>
#include <memory>
#include <new>

#include "platform/path_service.h"
#include "platform/registry.h"

namespace kz {
namespace {

using platform::RegistryRoot;

// The value of root as a NUL-terminated text of at most platform::kMaxPath bytes, or false when the
// hive has none that fits. The block is zero-filled, so a value read whole holds its own NUL
// within the size the registry reported, or it was stored without one.
bool readMainFolderValue(RegistryRoot root, char (&out)[platform::kMaxPath]) {
  platform::Registry& registry = platform::registry();
  uint32_t size = 0;
  if (registry.readString(root, platform::kProductSettingsKey, platform::kMainFolderValue, nullptr, size) != 0 ||
      size == 0) {
    return false;
  }
  std::unique_ptr<char[]> block(new (std::nothrow) char[size]());
  if (!block) return false;
  uint32_t readSize = size;
  if (registry.readString(root, platform::kProductSettingsKey, platform::kMainFolderValue, block.get(),
                          readSize) != 0) {
    return false;
  }
  const void* end = std::memchr(block.get(), '\0', size);
  if (end == nullptr) return false;  // stored without its NUL: the text's end is unknown
  const size_t length = static_cast<size_t>(static_cast<const char*>(end) - block.get());
  if (length >= platform::kMaxPath) return false;
  std::memcpy(out, block.get(), length + 1);
  return true;
}

}  // namespace

void lookUpMainFolder(char (&mainFolder)[platform::kMaxPath]) {
  char value[platform::kMaxPath] = {};
  if (!readMainFolderValue(RegistryRoot::LocalMachine, value) && !readMainFolderValue(RegistryRoot::CurrentUser, value)) {
    mainFolder[0] = '\0';
    return;
  }
  // One trailing backslash goes, read as a character of the system code page: the second byte of
  // a double-byte character may have the value of a backslash.
  platform::pathService().removeBackslash(value);
  std::memcpy(mainFolder, value, std::strlen(value) + 1);
}

}  // namespace kz
