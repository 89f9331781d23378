// Building the tracked-file table and gathering what each side of a row holds.
#include "install/tracked_files.h"

#include <algorithm>

#include "platform/file_version.h"
#include "platform/files.h"
#include "platform/path_service.h"

namespace kz {
namespace {

bool composePath(char (&path)[platform::kMaxPath], const char* folder, const char* relative) {
  if (paths::join(path, folder, relative)) return true;
  path[0] = '\0';
  return false;
}

struct Side {
  const char* path;
  uint32_t* attributes;
  bool& exists;
  uint64_t& version;
  PackageHeader& header;
  uint32_t& offset;
  bool& headerFound;
};

void gatherSide(const TrackedRow& row, Side side) {
  platform::FileInfo info;
  side.exists = side.path[0] != '\0' && platform::fileSystem().fileInfo(side.path, info);
  if (!side.exists && side.path[0] != '\0') {
    // A file whose information cannot be read is still there: taken for absent, an installed
    // file would be replaced without the tests that protect it.
    info.attributes = platform::fileSystem().fileAttributes(side.path);
    side.exists = info.attributes != platform::kInvalidAttributes;
  }
  if (!side.exists) return;
  if (side.attributes != nullptr) *side.attributes = info.attributes;
  if (row.kind == TrackedKind::Help) return;
  side.version = ReadProductVersion(side.path);
  if (row.kind != TrackedKind::Application) return;
  uint32_t offset = 0;
  PackageHeader header;
  if (findPackageHeader(side.path, offset) == PackageHeaderStatus::Ok &&
      readPackageHeader(side.path, offset, header) == PackageHeaderStatus::Ok) {
    side.header = header;
    side.offset = offset;
    side.headerFound = true;
  } else {
    side.header = PackageHeader{};
    side.offset = 0;
    side.headerFound = false;
  }
}

}  // namespace

std::vector<std::string> TrackedFolders() {
  std::vector<std::string> folders;
  for (const TrackedRow& row : kTrackedRows) {
    std::string path = row.relativePath;
    for (size_t cut = platform::parentCut(path.c_str()); cut != 0; cut = platform::parentCut(path.c_str())) {
      path.resize(cut);
      if (std::find(folders.begin(), folders.end(), path) == folders.end()) folders.push_back(path);
    }
  }
  return folders;
}

bool BuildTrackedFileTable(TrackedFileTable& table, const char* mainFolder, const char* workFolder) {
  bool allFit = true;
  for (int i = 0; i < kTrackedFileCount; ++i) {
    TrackedFile& row = table[i];
    row = TrackedFile{};
    allFit = composePath(row.installedPath, mainFolder, kTrackedRows[i].relativePath) && allFit;
    allFit = composePath(row.newPath, workFolder, kTrackedRows[i].relativePath) && allFit;
  }
  return allFit;
}

void GatherInstalledInfo(TrackedFileTable& table) {
  for (int i = 0; i < kTrackedFileCount; ++i) {
    TrackedFile& r = table[i];
    gatherSide(kTrackedRows[i], {r.installedPath, &r.installedAttributes, r.installedExists, r.installedVersion, r.installedHeader,
                                 r.installedHeaderOffset, r.installedHeaderFound});
  }
}

void GatherNewInfo(TrackedFileTable& table) {
  for (int i = 0; i < kTrackedFileCount; ++i) {
    TrackedFile& r = table[i];
    gatherSide(kTrackedRows[i],
               {r.newPath, nullptr, r.newExists, r.newVersion, r.newHeader, r.newHeaderOffset, r.newHeaderFound});
  }
}

uint64_t ReadProductVersion(const char* path) { return platform::fileVersions().productVersion(path); }

}  // namespace kz
