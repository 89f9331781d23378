// POSIX stand-in for the Win32 file services, used by the native tests and the host tool.
//
// Backslashes become slashes. The read-only attribute maps to the owner's write permission; hidden,
// system and archive have no POSIX counterpart and are kept in a user extended attribute where the
// file system offers one, so that they read back as they were set.
#include "platform/files.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace kz::platform {
namespace {

constexpr const char* kAttrName = "user.kz.attributes";
constexpr uint32_t kExtraBits = kAttrHidden | kAttrSystem | kAttrArchive;

std::string nativePath(const char* path) {
  std::string p(path != nullptr ? path : "");
  for (char& c : p) {
    if (c == '\\') c = '/';
  }
  // A trailing slash is kept for folders; stat accepts it.
  return p;
}

uint32_t copyOut(const std::string& s, char* buffer, uint32_t size) {
  const auto len = static_cast<uint32_t>(s.size());
  if (buffer == nullptr || size <= len) return len + 1;
  std::memcpy(buffer, s.c_str(), len + 1);
  return len;
}

uint32_t storedExtraBits(const std::string& p) {
  uint32_t bits = 0;
  if (getxattr(p.c_str(), kAttrName, &bits, sizeof bits) != static_cast<ssize_t>(sizeof bits)) {
    return 0;
  }
  return bits & kExtraBits;
}

class PosixFileSystem final : public FileSystem {
 public:
  uint32_t currentDirectory(char* buffer, uint32_t size) override {
    char tmp[4096];
    if (getcwd(tmp, sizeof tmp) == nullptr) return 0;
    return copyOut(tmp, buffer, size);
  }

  bool setCurrentDirectory(const char* path) override {
    return chdir(nativePath(path).c_str()) == 0;
  }

  uint32_t windowsDirectory(char* buffer, uint32_t size) override {
    // The stand-in for the Windows folder is the root: it always exists.
    return copyOut("/", buffer, size);
  }

  uint32_t tempPath(char* buffer, uint32_t size) override {
    const char* env = std::getenv("TMPDIR");
    std::string p = (env != nullptr && *env != '\0') ? env : "/tmp";
    if (p.back() != '/') p += '/';
    return copyOut(p, buffer, size);
  }

  uint32_t tempFileName(const char* folder, const char* prefix, char* out) override {
    std::string base = nativePath(folder);
    if (!base.empty() && base.back() != '/') base += '/';
    // Like GetTempFileNameA: prefix (up to three characters), up to four hex digits, ".TMP".
    std::string pre = std::string(prefix).substr(0, 3);
    for (unsigned attempt = 0; attempt < 0x10000u; ++attempt) {
      const unsigned unique = (static_cast<unsigned>(getpid()) + attempt * 7919u) & 0xFFFFu;
      if (unique == 0) continue;
      char name[32];
      std::snprintf(name, sizeof name, "%s%X.TMP", pre.c_str(), unique);
      const std::string full = base + name;
      if (full.size() >= kMaxPath) return 0;
      const int fd = open(full.c_str(), O_CREAT | O_EXCL | O_WRONLY, 0644);
      if (fd >= 0) {
        close(fd);
        std::memcpy(out, full.c_str(), full.size() + 1);
        return unique;
      }
      if (errno != EEXIST) return 0;
    }
    return 0;
  }

  bool createDirectory(const char* path) override {
    return mkdir(nativePath(path).c_str(), 0755) == 0;
  }

  bool removeDirectory(const char* path) override { return rmdir(nativePath(path).c_str()) == 0; }

  bool deleteFile(const char* path) override {
    const std::string p = nativePath(path);
    struct stat st {};
    if (lstat(p.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
    // As on Windows, a read-only file is not deleted: its attribute must be cleared first.
    if (!S_ISLNK(st.st_mode) && (st.st_mode & S_IWUSR) == 0) {
      errno = EACCES;
      return false;
    }
    return unlink(p.c_str()) == 0;
  }

  uint32_t fileAttributes(const char* path) override {
    const std::string p = nativePath(path);
    struct stat st {};
    if (lstat(p.c_str(), &st) != 0) return kInvalidAttributes;
    return attributesOf(p, st);
  }

  // The attributes of what lstat found at p.
  static uint32_t attributesOf(const std::string& p, const struct stat& st) {
    if (S_ISLNK(st.st_mode)) {
      // Like a reparse point on Windows: the link itself, a folder when it points at one.
      struct stat target {};
      return kAttrReparsePoint | (stat(p.c_str(), &target) == 0 && S_ISDIR(target.st_mode) ? kAttrDirectory : 0);
    }
    uint32_t attrs = storedExtraBits(p);
    if (S_ISDIR(st.st_mode)) attrs |= kAttrDirectory;
    if ((st.st_mode & S_IWUSR) == 0) attrs |= kAttrReadOnly;
    if (attrs == 0) attrs = kAttrNormal;
    return attrs;
  }

  bool setFileAttributes(const char* path, uint32_t attributes) override {
    const std::string p = nativePath(path);
    struct stat st {};
    if (stat(p.c_str(), &st) != 0) return false;
    mode_t mode = st.st_mode & 07777;
    mode = (attributes & kAttrReadOnly) != 0 ? (mode & ~(S_IWUSR | S_IWGRP | S_IWOTH)) : (mode | S_IWUSR);
    if (chmod(p.c_str(), mode) != 0) return false;
    const uint32_t extra = attributes & kExtraBits;
    if (extra != 0) {
      // Best effort: a file system without user attributes simply does not keep these bits.
      (void)setxattr(p.c_str(), kAttrName, &extra, sizeof extra, 0);
    } else {
      (void)removexattr(p.c_str(), kAttrName);
    }
    return true;
  }

  // Like the Windows query, of the link itself where one stands at the path: its attributes, and no size.
  bool fileInfo(const char* path, FileInfo& info) override {
    const std::string p = nativePath(path);
    struct stat st {};
    if (lstat(p.c_str(), &st) != 0) return false;
    info.attributes = attributesOf(p, st);
    info.size = S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
    return true;
  }

  bool setFileTime(const char* path, int64_t secondsSince1970) override {
    struct timeval times[2];
    times[0].tv_sec = static_cast<time_t>(secondsSince1970);
    times[0].tv_usec = 0;
    times[1] = times[0];
    return utimes(nativePath(path).c_str(), times) == 0;
  }

  bool pathExists(const char* path) override {
    struct stat st {};
    return stat(nativePath(path).c_str(), &st) == 0;
  }

  std::FILE* openFile(const char* path, const char* mode) override {
    return std::fopen(nativePath(path).c_str(), mode);
  }

  bool moveFile(const char* source, const char* destination) override {
    // The shell creates missing folders on the way; the stand-in does the same.
    const std::string to = nativePath(destination);
    const size_t slash = to.find_last_of('/');
    if (slash != std::string::npos && slash > 0) makeParents(to.substr(0, slash));
    return std::rename(nativePath(source).c_str(), to.c_str()) == 0;
  }

  bool sameFile(const char* first, const char* second) override {
    struct stat a {};
    struct stat b {};
    if (stat(nativePath(first).c_str(), &a) != 0 || stat(nativePath(second).c_str(), &b) != 0) return false;
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
  }

  bool flushFile(std::FILE* stream) override {
    if (stream == nullptr || std::fflush(stream) != 0) return false;
    struct stat st {};
    if (fstat(fileno(stream), &st) != 0) return false;
    // A device such as /dev/null keeps nothing, and refuses fsync.
    if (!S_ISREG(st.st_mode)) return true;
    return fsync(fileno(stream)) == 0;
  }

  bool flushFolder(const char* path) override {
    const int fd = open(nativePath(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = fsync(fd) == 0;
    return (close(fd) == 0) && ok;
  }

  bool folderHoldsEntries(const char* path) override {
    DIR* dir = opendir(nativePath(path).c_str());
    if (dir == nullptr) return false;
    bool any = false;
    while (const dirent* entry = readdir(dir)) {
      if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
        any = true;
        break;
      }
    }
    closedir(dir);
    return any;
  }

 private:
  static void makeParents(const std::string& folder) {
    struct stat st {};
    if (folder.empty() || stat(folder.c_str(), &st) == 0) return;
    const size_t slash = folder.find_last_of('/');
    if (slash != std::string::npos && slash > 0) makeParents(folder.substr(0, slash));
    mkdir(folder.c_str(), 0755);
  }
};

}  // namespace

FileSystem& nativeFileSystem() {
  static PosixFileSystem instance;
  return instance;
}

}  // namespace kz::platform
