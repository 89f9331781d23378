// A file service that forwards to the real one and records the calls that change something, in
// order, as "call path" lines; a call can be made to fail on purpose.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/files.h"

namespace kz::test {

class RecordingFileSystem : public platform::ForwardingFileSystem {
 public:
  explicit RecordingFileSystem(platform::FileSystem& inner = platform::nativeFileSystem())
      : ForwardingFileSystem(inner) {}

  // Every recorded call, e.g. "createDirectory misc.set" or "setFileAttributes a.dll 0x21".
  std::vector<std::string> calls;
  // Consulted before each recorded call with its line; true makes the call fail untouched.
  std::function<bool(const std::string&)> failWhen;

  bool setCurrentDirectory(const char* p) override;
  bool createDirectory(const char* p) override;
  bool deleteFile(const char* p) override;
  bool setFileAttributes(const char* p, uint32_t a) override;
  bool setFileTime(const char* p, int64_t t) override;
  std::FILE* openFile(const char* p, const char* m) override;
  bool moveFile(const char* s, const char* d) override;
  uint32_t tempFileName(const char* f, const char* p, char* o) override;

  // The recorded lines that begin with prefix.
  std::vector<std::string> callsOf(const std::string& prefix) const;

 private:
  bool record(const std::string& line);
};

}  // namespace kz::test
