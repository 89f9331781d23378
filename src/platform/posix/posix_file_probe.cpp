// The in-use probe on POSIX systems, where opens share by default: a file counts as held when any
// process's file-descriptor table or memory map (under /proc) refers to it, or when it cannot be
// opened for writing. Processes whose tables this one may not read are not seen.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/file_probe.h"
#include "platform/posix/native_path.h"

namespace kz::platform {
namespace {

bool isNumber(const char* name) {
  if (*name == '\0') return false;
  for (; *name != '\0'; ++name) {
    if (*name < '0' || *name > '9') return false;
  }
  return true;
}

bool descriptorRefersTo(const std::string& process, const struct stat& target) {
  const std::string folder = process + "/fd";
  DIR* fds = opendir(folder.c_str());
  if (fds == nullptr) return false;
  bool found = false;
  while (dirent* entry = readdir(fds)) {
    if (!isNumber(entry->d_name)) continue;
    struct stat st {};
    if (stat((folder + "/" + entry->d_name).c_str(), &st) == 0 && st.st_dev == target.st_dev &&
        st.st_ino == target.st_ino) {
      found = true;
      break;
    }
  }
  closedir(fds);
  return found;
}

// A line of maps: "start-end perms offset major:minor inode path". Layered file systems report
// the device underneath, so a matching inode with the same resolved path counts as well.
bool mappingRefersTo(const std::string& process, const struct stat& target, const std::string& resolved) {
  std::FILE* maps = std::fopen((process + "/maps").c_str(), "r");
  if (maps == nullptr) return false;
  bool found = false;
  char line[PATH_MAX + 256];
  while (!found && std::fgets(line, sizeof line, maps) != nullptr) {
    unsigned major = 0;
    unsigned minor = 0;
    unsigned long long inode = 0;
    int pathStart = 0;
    if (std::sscanf(line, "%*s %*s %*s %x:%x %llu %n", &major, &minor, &inode, &pathStart) < 3) continue;
    if (inode == 0 || inode != static_cast<unsigned long long>(target.st_ino)) continue;
    std::string mapped = pathStart > 0 ? std::string(line + pathStart) : std::string();
    while (!mapped.empty() && (mapped.back() == '\n' || mapped.back() == ' ')) mapped.pop_back();
    found = makedev(major, minor) == target.st_dev || mapped == resolved;
  }
  std::fclose(maps);
  return found;
}

bool heldByAnyProcess(const std::string& path) {
  struct stat target {};
  if (stat(path.c_str(), &target) != 0) return false;
  char resolvedBuffer[PATH_MAX];
  const std::string resolved = realpath(path.c_str(), resolvedBuffer) != nullptr ? resolvedBuffer : path;
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return false;
  bool held = false;
  while (!held) {
    dirent* entry = readdir(proc);
    if (entry == nullptr) break;
    if (!isNumber(entry->d_name)) continue;
    const std::string process = std::string("/proc/") + entry->d_name;
    held = descriptorRefersTo(process, target) || mappingRefersTo(process, target, resolved);
  }
  closedir(proc);
  return held;
}

class PosixFileProbe final : public FileProbe {
 public:
  bool openExclusively(const char* path) override {
    const std::string p = posixPath(path);
    // The tables are read before the probe's own open, so that open is not taken for a holder.
    if (heldByAnyProcess(p)) return false;
    const int fd = open(p.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    close(fd);
    return true;
  }
};

}  // namespace

FileProbe& nativeFileProbe() {
  static PosixFileProbe instance;
  return instance;
}

}  // namespace kz::platform
