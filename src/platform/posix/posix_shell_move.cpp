// POSIX stand-in for the shell's silent move: rename, creating the destination's missing folders,
// and across file systems a copy that keeps permissions, extended attributes and times, followed
// by the deletion of the source.
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

#include "platform/posix/native_path.h"
#include "platform/posix/posix_move.h"
#include "platform/shell_move.h"

namespace kz::platform {
namespace {

bool makeFolders(const std::string& folder) {
  if (folder.empty()) return true;
  struct stat st {};
  if (stat(folder.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  const size_t slash = folder.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && !makeFolders(folder.substr(0, slash))) return false;
  return mkdir(folder.c_str(), 0755) == 0 || errno == EEXIST;
}

bool copyContents(int in, int out) {
  std::vector<char> buffer(1 << 16);
  for (;;) {
    const ssize_t got = read(in, buffer.data(), buffer.size());
    if (got == 0) return true;
    if (got < 0) return false;
    for (ssize_t done = 0; done < got;) {
      const ssize_t put = write(out, buffer.data() + done, static_cast<size_t>(got - done));
      if (put <= 0) return false;
      done += put;
    }
  }
}

void copyExtendedAttributes(const std::string& from, const std::string& to) {
  const ssize_t listSize = listxattr(from.c_str(), nullptr, 0);
  if (listSize <= 0) return;
  std::vector<char> names(static_cast<size_t>(listSize));
  if (listxattr(from.c_str(), names.data(), names.size()) != listSize) return;
  for (size_t at = 0; at < names.size();) {
    const char* name = names.data() + at;
    const ssize_t valueSize = getxattr(from.c_str(), name, nullptr, 0);
    if (valueSize >= 0) {
      std::vector<char> value(static_cast<size_t>(valueSize) + 1);
      const ssize_t got = getxattr(from.c_str(), name, value.data(), value.size());
      if (got >= 0) (void)setxattr(to.c_str(), name, value.data(), static_cast<size_t>(got), 0);
    }
    at += std::string(name).size() + 1;
  }
}

}  // namespace

bool copyThenDelete(const std::string& from, const std::string& to) {
  struct stat st {};
  if (stat(from.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  // The copy is built beside the destination and renamed over it only when complete, so a
  // failure never leaves a partial file under the destination's name.
  const std::string partial = to + ".kzpart";
  const int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  const int out = open(partial.c_str(), O_CREAT | O_TRUNC | O_WRONLY | O_CLOEXEC, 0600);
  if (out < 0) {
    close(in);
    return false;
  }
  bool ok = copyContents(in, out);
  close(in);
  if (ok) {
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ok = fchmod(out, st.st_mode & 07777) == 0;
    copyExtendedAttributes(from, partial);
    ok = ok && futimens(out, times) == 0;
  }
  ok = (close(out) == 0) && ok;
  if (!ok || rename(partial.c_str(), to.c_str()) != 0) {
    unlink(partial.c_str());
    return false;
  }
  return unlink(from.c_str()) == 0;
}

bool posixMove(const std::string& from, const std::string& to) {
  if (rename(from.c_str(), to.c_str()) == 0) return true;
  if (errno == ENOENT) {
    struct stat st {};
    if (stat(from.c_str(), &st) != 0) return false;
    const size_t slash = to.find_last_of('/');
    if (slash == std::string::npos || !makeFolders(to.substr(0, slash))) return false;
    if (rename(from.c_str(), to.c_str()) == 0) return true;
  }
  return errno == EXDEV && copyThenDelete(from, to);
}

namespace {

class PosixShellMover final : public ShellMover {
 public:
  bool moveFile(const char* source, const char* destination, void* /*owner*/) override {
    std::string from = posixPath(source);
    std::string to = posixPath(destination);
    // The shell takes a trailing separator off each name first.
    if (from.size() > 1 && from.back() == '/') from.pop_back();
    if (to.size() > 1 && to.back() == '/') to.pop_back();
    if (from.empty() || to.empty()) return false;
    return posixMove(from, to);
  }
};

}  // namespace

ShellMover& nativeShellMover() {
  static PosixShellMover instance;
  return instance;
}

}  // namespace kz::platform
