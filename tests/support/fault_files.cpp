// Counting and failing file operations.
#include "support/fault_files.h"

#include <cstring>

namespace kz::test {

FaultFiles::FaultFiles()
    : ForwardingFileSystem(platform::nativeFileSystem()), scopedFiles_(*this), scopedMover_(*this) {}

FaultFiles::~FaultFiles() = default;

bool FaultFiles::allow(const char* call, const char* path, bool changing) {
  const long index = operations_++;
  if (tracing) trace.push_back(std::string(call) + " " + (path != nullptr ? path : ""));
  bool fails = failing.count(index) != 0 || crashed();
  if (!fails && changing) ++changes_;
  if (fails && firstFailure_.empty()) firstFailure_ = std::string(call) + " " + (path != nullptr ? path : "");
  return !fails;
}

uint32_t FaultFiles::currentDirectory(char* b, uint32_t s) {
  return allow("currentDirectory", "", false) ? inner_.currentDirectory(b, s) : 0;
}
bool FaultFiles::setCurrentDirectory(const char* p) {
  return allow("setCurrentDirectory", p, false) && inner_.setCurrentDirectory(p);
}
uint32_t FaultFiles::tempFileName(const char* f, const char* p, char* o) {
  return allow("tempFileName", f, true) ? inner_.tempFileName(f, p, o) : 0;
}
bool FaultFiles::createDirectory(const char* p) { return allow("createDirectory", p, true) && inner_.createDirectory(p); }
bool FaultFiles::removeDirectory(const char* p) { return allow("removeDirectory", p, true) && inner_.removeDirectory(p); }
bool FaultFiles::deleteFile(const char* p) { return allow("deleteFile", p, true) && inner_.deleteFile(p); }
uint32_t FaultFiles::fileAttributes(const char* p) {
  return allow("fileAttributes", p, false) ? inner_.fileAttributes(p) : platform::kInvalidAttributes;
}
bool FaultFiles::setFileAttributes(const char* p, uint32_t a) {
  return allow("setFileAttributes", p, true) && inner_.setFileAttributes(p, a);
}
bool FaultFiles::fileInfo(const char* p, platform::FileInfo& i) { return allow("fileInfo", p, false) && inner_.fileInfo(p, i); }
bool FaultFiles::setFileTime(const char* p, int64_t t) { return allow("setFileTime", p, true) && inner_.setFileTime(p, t); }
bool FaultFiles::pathExists(const char* p) { return allow("pathExists", p, false) && inner_.pathExists(p); }

std::FILE* FaultFiles::openFile(const char* p, const char* m) {
  const bool changing = std::strpbrk(m, "wa+") != nullptr;
  if (!allow("openFile", p, changing)) return nullptr;
  std::FILE* f = inner_.openFile(p, m);
  if (f != nullptr && changing) streams_[f] = p;
  return f;
}

bool FaultFiles::moveFile(const char* s, const char* d) { return allow("moveFile", s, true) && inner_.moveFile(s, d); }

bool FaultFiles::moveFile(const char* s, const char* d, void* owner) {
  if (!allow("move", s, true) || !platform::nativeShellMover().moveFile(s, d, owner)) return false;
  changesAfterMoves.push_back(changes_);
  return true;
}

bool FaultFiles::flushFile(std::FILE* f) {
  const auto it = streams_.find(f);
  if (!allow("flushFile", it != streams_.end() ? it->second.c_str() : "", true)) return false;
  // The simulated disk: what is flushed is on it; no fsync, which would only slow the tests.
  if (std::fflush(f) != 0) return false;
  if (it != streams_.end()) flushed_[it->second] = std::ftell(f);
  return true;
}

bool FaultFiles::flushFolder(const char* p) { return allow("flushFolder", p, true) && inner_.pathExists(p); }

bool FaultFiles::folderHoldsEntries(const char* p) {
  return allow("folderHoldsEntries", p, false) && inner_.folderHoldsEntries(p);
}

}  // namespace kz::test
