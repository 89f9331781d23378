// The copy step as a transaction over the set-aside folder and its journal.
#include "install/copy_files.h"

#include <algorithm>
#include <string>
#include <vector>

#include "install/file_operations.h"
#include "install/set_aside.h"
#include "platform/crash_hook.h"
#include "platform/files.h"
#include "platform/path_service.h"

namespace kz {
namespace {

using Path = char[platform::kMaxPath];

// One plan entry with what the forward path needs beside the journal record.
struct Step {
  JournalRecord record;
  const char* newPath = nullptr;  // the new file that goes in; none for an older help file
};

class CopyRun {
 public:
  CopyRun(TrackedFileTable& table, const char* mainFolder, void* owner, StepFailure* failure)
      : table_(table), mainFolder_(mainFolder), owner_(owner), failure_(failure) {}

  bool run() {
    if (!writeHeaders()) return false;
    if (!plan()) return false;
    if (steps_.empty()) return true;
    if (!begin()) return false;
    for (uint32_t i = 0; i < steps_.size(); ++i) {
      if (!perform(i)) return rollBack(false);
    }
    // The new files' data went to the disk when they were written; their names in the main
    // folder, and the originals' in the set-aside folder, go before the Commit lets the originals go.
    if (!flushReceivingFolders()) return rollBack(false);
    if (!journal_.append({JournalKind::Commit, 0, {}})) {
      noteFailure(failure_, FailureCause::JournalNotWritten, journalPath_);
      return rollBack(true);
    }
    journal_.close();
    // The update is complete; what is left of the set-aside folder the next run clears.
    (void)ClearSetAsideFolder(mainFolder_, records(), nullptr);
    return true;
  }

 private:
  // An application's header goes into its new file while the main folder is still untouched. A
  // new file without a header is not written to: offset 0 would then be the file's start.
  bool writeHeaders() {
    for (int i = 0; i < kTrackedFileCount; ++i) {
      TrackedFile& row = table_[i];
      if (!row.copy || kTrackedRows[i].kind != TrackedKind::Application || !row.newHeaderFound) continue;
      if (writePackageHeader(row.newPath, row.newHeaderOffset, row.newHeader) != PackageHeaderStatus::Ok) {
        noteFailure(failure_, FailureCause::HeaderNotWritten, row.newPath);
        return false;
      }
    }
    return true;
  }

  bool plan() {
    std::vector<std::string> folders;
    for (int i = 0; i < kTrackedFileCount; ++i) {
      TrackedFile& row = table_[i];
      if (!row.copy) continue;
      const char* relative = kTrackedRows[i].relativePath;
      if (row.installedPath[0] == '\0' || row.newPath[0] == '\0') {
        noteFailure(failure_, FailureCause::FileNotMoved, row.newPath[0] != '\0' ? row.newPath : relative,
                    row.installedPath);
        return false;
      }
      planFolders(row.installedPath, folders);
      // Either sign of an installed file sends it aside, so that a query that fails cannot let a
      // move replace, and lose, a file that is there.
      const uint32_t attributes = platform::fileSystem().fileAttributes(row.installedPath);
      if (row.installedExists || attributes != platform::kInvalidAttributes) {
        const uint32_t before = row.installedExists ? row.installedAttributes : attributes;
        steps_.push_back({{JournalKind::Replace, before, relative}, row.newPath});
      } else {
        steps_.push_back({{JournalKind::Add, 0, relative}, row.newPath});
      }
      // Its header is written: the new file is now what the run places, and what an undo removes.
      JournalRecord& placed = steps_.back().record;
      placed.placed = JournalRecord::Placed::NewFile;
      if (!ReadFileIdentity(row.newPath, placed.newSize, placed.newCrc)) {
        noteFailure(failure_, FailureCause::NewFileUnreadable, row.newPath);
        return false;
      }
      if (kTrackedRows[i].kind == TrackedKind::Help) planWinHelpFiles(relative);
    }
    // Every file that goes aside must have a path there: found out while nothing has moved, not
    // by a rollback that could not tell its set-aside files apart from missing ones.
    for (const Step& step : steps_) {
      Path aside;
      if (step.record.kind == JournalKind::Replace && !setAsidePath(aside, mainFolder_, step.record.path.c_str())) {
        Path installed;
        (void)paths::join(installed, mainFolder_, step.record.path.c_str());
        noteFailure(failure_, FailureCause::SetAsidePathTooLong, installed, std::string(mainFolder_) + "\\" + kSetAsideFolder);
        return false;
      }
    }
    return true;
  }

  // The older help file and its index go aside with their help file, when they are there.
  void planWinHelpFiles(const char* relative) {
    for (const char* extension : {kWinHelpExtension, kWinHelpIndexExtension}) {
      Path name;
      Path installed;
      if (!paths::assign(name, relative) || !paths::renameExtension(name, extension) ||
          !paths::join(installed, mainFolder_, name)) {
        continue;
      }
      // Absent only when two queries agree, as for an installed file.
      const uint32_t attributes = platform::fileSystem().fileAttributes(installed);
      if (attributes != platform::kInvalidAttributes) {
        steps_.push_back({{JournalKind::Replace, attributes, name}, nullptr});
      } else if (platform::fileSystem().pathExists(installed)) {
        steps_.push_back({{JournalKind::Replace, platform::kAttrNormal, name}, nullptr});
      } else {
        continue;
      }
      steps_.back().record.placed = JournalRecord::Placed::Nothing;
    }
  }

  // The folders below the main folder that placing a file at path will create, outermost first,
  // each once, so that a rollback takes them away again.
  void planFolders(const char* path, std::vector<std::string>& planned) {
    std::vector<std::string> missing;
    std::string folder = path;
    const size_t rootLength = std::string(mainFolder_).size();
    for (;;) {
      const size_t cut = platform::parentCut(folder.c_str());
      if (cut == 0 || cut <= rootLength) break;
      folder.resize(cut);
      // A folder planned by mistake would be removed on rollback when empty.
      if (IsPresent(folder.c_str())) break;
      missing.push_back(folder);
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
      if (std::find(planned.begin(), planned.end(), *it) != planned.end()) continue;
      planned.push_back(*it);
      steps_.push_back({{JournalKind::Folder, 0, it->substr(rootLength + 1)}, nullptr});
    }
  }

  std::vector<JournalRecord> records() const {
    std::vector<JournalRecord> out;
    out.reserve(steps_.size());
    for (const Step& step : steps_) out.push_back(step.record);
    return out;
  }

  // The set-aside folder, fresh and hidden, and the whole plan on the disk before anything moves.
  bool begin() {
    if (!setAsideFolderPath(folder_, mainFolder_) || !journalPath(journalPath_, mainFolder_)) {
      noteFailure(failure_, FailureCause::FolderNotCreated, mainFolder_);
      return false;
    }
    std::vector<JournalRecord> head;
    head.push_back({JournalKind::Begin, 0, {}});
    for (const Step& step : steps_) head.push_back(step.record);
    head.push_back({JournalKind::PlanEnd, static_cast<uint32_t>(steps_.size()), {}});
    return StartJournal(journal_, mainFolder_, head, failure_);
  }

  bool announce(JournalKind kind, uint32_t index) {
    if (journal_.append({kind, index, {}})) return true;
    noteFailure(failure_, FailureCause::JournalNotWritten, journalPath_);
    return false;
  }

  bool move(const char* from, const char* to) {
    if (!MoveFileIntoPlace(from, to, owner_)) {
      noteFailure(failure_, FailureCause::FileNotMoved, from, to);
      return false;
    }
    platform::noteCopyStepMove();
    return true;
  }

  bool perform(uint32_t index) {
    const Step& step = steps_[index];
    if (step.record.kind == JournalKind::Folder) return true;  // made by the move that needs it
    Path installed;
    Path aside;
    if (!paths::join(installed, mainFolder_, step.record.path.c_str()) ||
        !setAsidePath(aside, mainFolder_, step.record.path.c_str())) {
      noteFailure(failure_, FailureCause::FileNotMoved, step.record.path);
      return false;
    }
    if (step.record.kind == JournalKind::Replace) {
      // An older help file that stays would leave the product neither updated nor as it was:
      // one that cannot go aside fails the step like any other file.
      if (!announce(JournalKind::SetAside, index) || !move(installed, aside)) return false;
      if (step.newPath == nullptr) return true;
    }
    return announce(JournalKind::Place, index) && move(step.newPath, installed);
  }

  // Each folder that a move put a file into, once.
  bool flushReceivingFolders() {
    std::vector<std::string> folders;
    const auto addParent = [&](const char* file) {
      std::string folder = file;
      const size_t cut = platform::parentCut(folder.c_str());
      if (cut == 0) return;
      folder.resize(cut);
      if (std::find(folders.begin(), folders.end(), folder) == folders.end()) folders.push_back(folder);
    };
    for (const Step& step : steps_) {
      Path installed;
      Path aside;
      const char* relative = step.record.path.c_str();
      if (step.newPath != nullptr && paths::join(installed, mainFolder_, relative)) {
        addParent(installed);
      }
      if (step.record.kind == JournalKind::Replace && setAsidePath(aside, mainFolder_, relative)) addParent(aside);
    }
    for (const std::string& folder : folders) {
      if (!platform::fileSystem().flushFolder(folder.c_str())) {
        noteFailure(failure_, FailureCause::FolderNotFlushed, folder);
        return false;
      }
    }
    return true;
  }

  // Everything back from the set-aside folder. After a Commit whose write failed, that Commit may
  // be on the disk: a RollBack record must follow it first, or the next run could take the
  // half-undone folder for a completed update.
  bool rollBack(bool commitWritten) {
    const std::vector<JournalRecord> plan = records();
    bool complete = false;
    if (journal_.append({JournalKind::RollBack, 0, {}}) || !commitWritten) {
      journal_.close();
      complete = RollBackPlan(mainFolder_, plan, owner_, failure_) && RemoveSetAsideFolder(mainFolder_, failure_);
    }
    journal_.close();
    if (!complete && failure_ != nullptr) failure_->keptIn = folder_;
    return false;
  }

  TrackedFileTable& table_;
  const char* mainFolder_;
  void* owner_;
  StepFailure* failure_;
  std::vector<Step> steps_;
  JournalWriter journal_;
  Path folder_ = {};
  Path journalPath_ = {};
};

}  // namespace

bool CopyNewFiles(TrackedFileTable& table, const char* mainFolder, void* owner, StepFailure* failure) {
  return CopyRun(table, mainFolder, owner, failure).run();
}

}  // namespace kz
