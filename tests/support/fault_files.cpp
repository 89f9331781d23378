// Counting and failing file operations.
#include "support/fault_files.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cstring>

#include "platform/posix/native_path.h"
#include "support/temp_dir.h"

namespace kz::test {
namespace {

std::pair<uint64_t, uint64_t> identity(const struct stat& st) {
  return {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

bool streamIdentity(std::FILE* f, std::pair<uint64_t, uint64_t>& id) {
  struct stat st {};
  if (fstat(fileno(f), &st) != 0) return false;
  id = identity(st);
  return true;
}

}  // namespace

FaultFiles::FaultFiles()
    : ForwardingFileSystem(platform::nativeFileSystem()), scopedFiles_(*this), scopedMover_(*this) {}

FaultFiles::~FaultFiles() = default;

bool FaultFiles::allow(const char* call, const char* path, bool changing) {
  const long index = operations_++;
  if (tracing) trace.push_back(std::string(call) + " " + (path != nullptr ? path : ""));
  bool fails = failing.count(index) != 0 || crashed();
  if (!fails && changing) ++changes_;
  if (fails && firstFailure_.empty()) {
    firstFailure_ = std::string(call) + " " + (path != nullptr ? path : "");
    changesAtFirstFailure_ = changes_;
  }
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
  if (f != nullptr && changing) {
    streams_[f] = p;
    std::pair<uint64_t, uint64_t> id;
    if (streamIdentity(f, id)) {
      // A new file holds nothing on the disk yet; one opened to change it, what it held.
      if (m[0] == 'w') {
        durable_[id].clear();
      } else if (durable_.count(id) == 0) {
        durable_[id] = readFileBytes(platform::posixPath(p));
      }
    }
  }
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
  if (it != streams_.end()) {
    flushed_[it->second] = std::ftell(f);
    std::pair<uint64_t, uint64_t> id;
    if (streamIdentity(f, id)) durable_[id] = readFileBytes(platform::posixPath(it->second.c_str()));
  }
  return true;
}

bool FaultFiles::flushFolder(const char* p) { return allow("flushFolder", p, true) && inner_.pathExists(p); }

bool FaultFiles::folderHoldsEntries(const char* p) {
  return allow("folderHoldsEntries", p, false) && inner_.folderHoldsEntries(p);
}

int FaultFiles::cutPower(const std::vector<std::filesystem::path>& roots) const {
  int cut = 0;
  for (const std::filesystem::path& root : roots) {
    std::error_code ec;
    if (!std::filesystem::is_directory(root, ec)) continue;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
      struct stat st {};
      if (lstat(entry.path().c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
      const auto known = durable_.find(identity(st));
      if (known == durable_.end()) continue;
      std::vector<uint8_t> bytes = readFileBytes(entry.path());
      bool lost = false;
      for (size_t i = 0; i < bytes.size(); ++i) {
        if (i < known->second.size() && bytes[i] == known->second[i]) continue;
        lost = lost || bytes[i] != 0;
        bytes[i] = 0;
      }
      if (!lost) continue;
      ++cut;
      // In place, with the file's mode and times kept: only the data is lost.
      chmod(entry.path().c_str(), st.st_mode | S_IWUSR);
      std::FILE* out = std::fopen(entry.path().c_str(), "r+b");
      if (out != nullptr) {
        std::fwrite(bytes.data(), 1, bytes.size(), out);
        std::fclose(out);
      }
      chmod(entry.path().c_str(), st.st_mode & 07777);
      const struct timespec times[2] = {st.st_atim, st.st_mtim};
      utimensat(AT_FDCWD, entry.path().c_str(), times, 0);
    }
  }
  return cut;
}

}  // namespace kz::test
