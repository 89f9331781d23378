// Recording and failing file calls for tests.
#include "support/recording_files.h"

#include <cstdio>

namespace kz::test {

bool RecordingFileSystem::record(const std::string& line) {
  calls.push_back(line);
  return !(failWhen && failWhen(line));
}

bool RecordingFileSystem::setCurrentDirectory(const char* p) {
  return record(std::string("setCurrentDirectory ") + p) && inner_.setCurrentDirectory(p);
}

bool RecordingFileSystem::createDirectory(const char* p) {
  if (!record(std::string("createDirectory ") + p)) return false;
  const bool ok = inner_.createDirectory(p);
  if (!ok) calls.back() += " (failed)";
  return ok;
}

bool RecordingFileSystem::deleteFile(const char* p) {
  return record(std::string("deleteFile ") + p) && inner_.deleteFile(p);
}

bool RecordingFileSystem::setFileAttributes(const char* p, uint32_t a) {
  char bits[16];
  std::snprintf(bits, sizeof bits, " 0x%02X", a);
  return record(std::string("setFileAttributes ") + p + bits) && inner_.setFileAttributes(p, a);
}

bool RecordingFileSystem::setFileTime(const char* p, int64_t t) {
  return record(std::string("setFileTime ") + p + " " + std::to_string(t)) && inner_.setFileTime(p, t);
}

std::FILE* RecordingFileSystem::openFile(const char* p, const char* m) {
  return record(std::string("openFile ") + p + " " + m) ? inner_.openFile(p, m) : nullptr;
}

bool RecordingFileSystem::moveFile(const char* s, const char* d) {
  return record(std::string("moveFile ") + s + " " + d) && inner_.moveFile(s, d);
}

uint32_t RecordingFileSystem::tempFileName(const char* f, const char* p, char* o) {
  return record(std::string("tempFileName ") + f + " " + p) ? inner_.tempFileName(f, p, o) : 0;
}

std::vector<std::string> RecordingFileSystem::callsOf(const std::string& prefix) const {
  std::vector<std::string> out;
  for (const std::string& c : calls) {
    if (c.rfind(prefix, 0) == 0) out.push_back(c);
  }
  return out;
}

}  // namespace kz::test
