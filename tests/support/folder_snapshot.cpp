// Folder snapshots, read through the native file service so that no test override is observed.
#include "support/folder_snapshot.h"

#include <sys/stat.h>

#include <cstdio>

#include "install/journal.h"
#include "platform/files.h"
#include "support/temp_dir.h"

namespace kz::test {

FolderSnapshot snapshotFolder(const std::filesystem::path& root) {
  FolderSnapshot snapshot;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    EntryState state;
    struct stat st {};
    if (stat(entry.path().c_str(), &st) != 0) continue;
    state.folder = S_ISDIR(st.st_mode);
    state.mode = st.st_mode & 07777;
    state.attributes = platform::nativeFileSystem().fileAttributes(entry.path().c_str());
    if (!state.folder) {
      state.contents = readFileBytes(entry.path());
      state.modifiedNs = int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
    }
    snapshot[std::filesystem::relative(entry.path(), root).string()] = std::move(state);
  }
  return snapshot;
}

std::string describeDifferences(const FolderSnapshot& before, const FolderSnapshot& after) {
  std::string out;
  for (const auto& [name, state] : before) {
    const auto it = after.find(name);
    if (it == after.end()) {
      out += "missing: " + name + "\n";
    } else if (!(it->second == state)) {
      out += "changed: " + name;
      if (it->second.contents != state.contents) out += " (contents)";
      if (it->second.attributes != state.attributes) {
        char bits[64];
        std::snprintf(bits, sizeof bits, " (attributes 0x%02X -> 0x%02X)", state.attributes, it->second.attributes);
        out += bits;
      }
      if (it->second.mode != state.mode) out += " (mode)";
      if (it->second.modifiedNs != state.modifiedNs) out += " (modified time)";
      out += "\n";
    }
  }
  for (const auto& [name, state] : after) {
    if (before.find(name) == before.end()) out += "added: " + name + "\n";
  }
  return out;
}

bool holdsSetAsideFolder(const std::filesystem::path& mainFolder) {
  std::error_code ec;
  return std::filesystem::exists(mainFolder / kSetAsideFolder, ec);
}

}  // namespace kz::test
