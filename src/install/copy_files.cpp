// The copy step with its set-aside journal and rollback.
#include "install/copy_files.h"

#include <cstring>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/path_service.h"
#include "platform/shell_move.h"

namespace kz {
namespace {

using Path = char[paths::kPathSize];

// One move already made, and how to undo it: move current back to original.
struct JournalEntry {
  char current[paths::kPathSize] = {};
  char original[paths::kPathSize] = {};
  // A new file placed where no installed file stood: undoing it takes it out of the main folder.
  bool addedFile = false;
};

class CopyRun {
 public:
  CopyRun(const char* mainFolder, const char* workFolder, void* owner)
      : mainFolder_(mainFolder), workFolder_(workFolder), owner_(owner) {}

  bool replaceRow(TrackedFile& row, const TrackedRow& descriptor) {
    // An application's header goes into the new file first; the installed file is untouched yet.
    // A new file without a header is not written to: offset 0 would then be the file's start.
    if (descriptor.kind == TrackedKind::Application && row.newHeaderFound &&
        writePackageHeader(row.newPath, row.newHeaderOffset, row.newHeader) != 0) {
      return false;
    }
    // Either sign of an installed file sends it aside first, so that a query that fails cannot
    // let the move replace, and lose, a file that is there.
    const bool installed = row.installedExists ||
                           platform::fileSystem().fileAttributes(row.installedPath) != platform::kInvalidAttributes;
    if (installed && !setAside(row.installedPath, descriptor.relativePath)) return false;
    noteMissingFolders(row.installedPath);
    if (!MoveFileIntoPlace(row.newPath, row.installedPath, owner_)) return false;
    record(row.installedPath, row.newPath, !installed);
    if (descriptor.kind == TrackedKind::Help) setAsideWinHelpFiles(descriptor.relativePath);
    return true;
  }

  // Undoes every recorded move, the latest first.
  void rollBack() {
    for (auto it = journal_.rbegin(); it != journal_.rend(); ++it) {
      if (MoveFileIntoPlace(it->current, it->original, owner_)) continue;
      // A new file that cannot go back to the work folder must at least leave the main folder.
      if (it->addedFile) DeleteFileForced(it->current);
    }
    journal_.clear();
    // The folders the moves made, latest and innermost first; one that is not empty stays.
    for (auto it = createdFolders_.rbegin(); it != createdFolders_.rend(); ++it) {
      (void)platform::fileSystem().removeDirectory(it->c_str());
    }
    createdFolders_.clear();
  }

 private:
  bool asidePath(Path& out, const char* relativePath, const char* extension) const {
    return paths::assign(out, workFolder_) && paths::append(out, kSetAsideFolder) &&
           paths::append(out, relativePath) && (extension == nullptr || paths::renameExtension(out, extension));
  }

  bool setAside(const char* installedPath, const char* relativePath) {
    Path aside;
    if (!asidePath(aside, relativePath, nullptr)) return false;
    if (!MoveFileIntoPlace(installedPath, aside, owner_)) return false;
    record(aside, installedPath, false);
    return true;
  }

  // The older help file and its index go aside when present. As with a deletion that fails, one
  // that cannot be moved stays where it is and the step goes on.
  void setAsideWinHelpFiles(const char* relativePath) {
    for (const char* extension : {kWinHelpExtension, kWinHelpIndexExtension}) {
      Path installed;
      Path aside;
      if (!paths::assign(installed, mainFolder_) || !paths::append(installed, relativePath) ||
          !paths::renameExtension(installed, extension) || !asidePath(aside, relativePath, extension)) {
        continue;
      }
      if (platform::fileSystem().fileAttributes(installed) == platform::kInvalidAttributes) continue;
      if (MoveFileIntoPlace(installed, aside, owner_)) record(aside, installed, false);
    }
  }

  // Remembers, outermost first, the folders below the main folder that a move to path will create,
  // so that a rollback takes them away again.
  void noteMissingFolders(const char* path) {
    std::vector<std::string> missing;
    std::string folder = path;
    const size_t rootLength = std::strlen(mainFolder_);
    for (;;) {
      const size_t cut = platform::parentCut(folder.c_str());
      if (cut == 0 || cut <= rootLength) break;
      folder.resize(cut);
      if (platform::fileSystem().pathExists(folder.c_str())) break;
      missing.push_back(folder);
    }
    createdFolders_.insert(createdFolders_.end(), missing.rbegin(), missing.rend());
  }

  void record(const char* current, const char* original, bool addedFile) {
    JournalEntry entry;
    std::memcpy(entry.current, current, std::strlen(current) + 1);
    std::memcpy(entry.original, original, std::strlen(original) + 1);
    entry.addedFile = addedFile;
    journal_.push_back(entry);
  }

  const char* mainFolder_;
  const char* workFolder_;
  void* owner_;
  std::vector<JournalEntry> journal_;
  std::vector<std::string> createdFolders_;
};

}  // namespace

bool CopyNewFiles(TrackedFileTable& table, const char* mainFolder, const char* workFolder, void* owner) {
  CopyRun run(mainFolder, workFolder, owner);
  for (int i = 0; i < kTrackedFileCount; ++i) {
    if (!table[i].copy) continue;
    if (!run.replaceRow(table[i], kTrackedRows[i])) {
      run.rollBack();
      return false;
    }
  }
  return true;
}

bool MoveFileIntoPlace(const char* source, const char* destination, void* owner) {
  if (source[0] == '\0' || destination[0] == '\0') return false;
  return platform::shellMover().moveFile(source, destination, owner);
}

bool DeleteFileForced(const char* path) {
  platform::FileSystem& fs = platform::fileSystem();
  const uint32_t attributes = fs.fileAttributes(path);
  if (attributes == platform::kInvalidAttributes) return true;
  if ((attributes & platform::kAttrReadOnly) != 0) {
    (void)fs.setFileAttributes(path, attributes & ~platform::kAttrReadOnly);
  }
  return fs.deleteFile(path);
}

}  // namespace kz
