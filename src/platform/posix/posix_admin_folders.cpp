// POSIX stand-in for the administrators' folders: mode 0700 for "administrators only", an open
// descriptor for the hold, and a removal that unlinks symbolic links instead of following them.
#include "platform/admin_folders.h"

#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "platform/posix/native_path.h"

namespace kz::platform {
namespace {

class PosixAdminFolders final : public AdminFolders {
 public:
  bool create(const char* path, bool held) override {
    const std::string p = posixPath(path);
    if (mkdir(p.c_str(), 0700) != 0) return false;
    // The umask may only take bits away; the mode is set exactly, or the folder is not used.
    // O_NOFOLLOW: a symbolic link put in the folder's place meanwhile is refused, not followed.
    const int fd = chmod(p.c_str(), 0700) == 0 ? open(p.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC) : -1;
    if (fd < 0) {
      rmdir(p.c_str());
      return false;
    }
    if (held) {
      held_.emplace_back(p, fd);
    } else {
      close(fd);
    }
    return true;
  }

  void release(const char* path) override {
    const std::string p = posixPath(path);
    for (auto it = held_.begin(); it != held_.end(); ++it) {
      if (it->first == p) {
        close(it->second);
        held_.erase(it);
        return;
      }
    }
  }

  bool removeTree(const char* path) override {
    std::string p = posixPath(path);
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    // FTW_PHYS: a symbolic link is reported as itself and removed, never walked into; FTW_DEPTH:
    // a folder's entries come before the folder.
    (void)nftw(p.c_str(), [](const char* entry, const struct stat*, int, struct FTW*) {
      (void)std::remove(entry);
      return 0;
    }, 16, FTW_PHYS | FTW_DEPTH);
    struct stat st {};
    return lstat(p.c_str(), &st) != 0;
  }

 private:
  std::vector<std::pair<std::string, int>> held_;
};

}  // namespace

AdminFolders& nativeAdminFolders() {
  static PosixAdminFolders instance;
  return instance;
}

}  // namespace kz::platform
