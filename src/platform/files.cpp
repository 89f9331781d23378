// The process-wide file service and its test override.
#include "platform/files.h"

namespace kz::platform {
namespace {
FileSystem* g_override = nullptr;
}

FileSystem& fileSystem() { return g_override != nullptr ? *g_override : nativeFileSystem(); }

ScopedFileSystem::ScopedFileSystem(FileSystem& replacement) : previous_(g_override) {
  g_override = &replacement;
}

ScopedFileSystem::~ScopedFileSystem() { g_override = previous_; }

}  // namespace kz::platform
