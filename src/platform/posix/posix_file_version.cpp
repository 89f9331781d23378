// POSIX stand-in for the version API: the portable PE reader over the file's bytes.
#include "platform/file_version.h"

namespace kz::platform {
namespace {

class PosixFileVersions final : public FileVersions {
 public:
  uint64_t productVersion(const char* path) override { return portableProductVersion(path); }
};

}  // namespace

FileVersions& nativeFileVersions() {
  static PosixFileVersions instance;
  return instance;
}

}  // namespace kz::platform
