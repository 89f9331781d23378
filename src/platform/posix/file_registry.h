// A file-backed stand-in for the Windows registry: both hives in one text file.
//
// Every operation reads the file afresh and every change rewrites it whole through a temporary
// file and a rename, so a reader never sees a half-written store and separate processes share it.
// Key paths and value names compare without regard to ASCII letter case, as the registry's do.
#pragma once

#include <string>

#include "platform/registry.h"

namespace kz::platform {

class FileRegistry final : public Registry {
 public:
  explicit FileRegistry(std::string storePath) : storePath_(std::move(storePath)) {}

  uint32_t readString(RegistryRoot root, const char* keyPath, const char* valueName, char* buffer,
                      uint32_t& size) override;
  uint32_t setString(RegistryRoot root, const char* keyPath, const char* valueName,
                     const char* text) override;
  uint32_t deleteValue(RegistryRoot root, const char* keyPath, const char* valueName) override;

  const std::string& storePath() const { return storePath_; }

 private:
  std::string storePath_;
};

// Where the process-wide POSIX registry keeps its store: $KZ_REGISTRY_FILE, or kz-registry.txt in
// the temporary folder.
std::string defaultRegistryStorePath();

}  // namespace kz::platform
