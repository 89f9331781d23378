// Why an install step stopped: the cause the install sequence names in the progress log after the
// stage's "...FAILED.". The steps fill it in; only the sequence writes to the log.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kz {

enum class FailureCause : uint8_t {
  None,
  FileInUse,              // file: an installed file the probe could not open for writing
  NoPackage,              // the application carries no package
  PackageDamaged,         // the form's head or an entry description cannot be read
  EntryDamaged,           // file: the package entry whose data failed its check
  EntryNotWritten,        // file: the entry; detail: the work folder
  WorkFolderUnusable,     // file: the work folder
  OutOfMemory,            //
  VersionNotReplaced,     // file: installed file; detail: its version; extra: the update's version
  NewFileMissing,         // file: the relative path the package lacks
  OtherProduct,           // file: the installed application with another product code or number
  ProductVersionLater,    // file: installed application; detail: its product version; extra: the update's
  HeaderMissing,          // file: the application without product identification
  HeaderNotWritten,       // file: the new application whose header could not be written
  FolderNotCreated,       // file: the folder
  FolderLeftOver,         // file: a set-aside folder that an earlier run left
  JournalNotWritten,      // file: the journal
  JournalUnreadable,      // file: the journal of an earlier run
  FileNotMoved,           // file: source; detail: destination
  FileNotDeleted,         // file
  AttributesNotRestored,  // file
  FolderNotRemoved,       // file: the folder
  JournalForeign,         // file: the set-aside folder whose journal names what no copy step writes
  SetAsidePathTooLong,    // file: the installed file whose path below the set-aside folder does not fit
  FolderNotFlushed,       // file: a folder that received files
  FolderLeftInPlace,      // file: a folder the run made that now holds someone else's file (a remark)
  NewFileUnreadable,      // file: a new file, or a file an undo must recognise, that cannot be read
  FileNotOurs,            // file: what stands where the run placed a file; detail: the original kept
  FileLeftInPlace,        // file: what stands where the run placed a new file, not the run's (a remark)
  LinkedFolder,           // file: a junction or symbolic link where files would move
};

struct StepFailure {
  FailureCause cause = FailureCause::None;
  std::string file;
  std::string detail;
  std::string extra;
  // Set when originals could not all be put back: the folder that still holds them (the journal
  // beside them lets the next run finish the job).
  std::string keptIn;
  // What a rollback left in place because it is not the run's own, so that the rollback could
  // still finish: logged after the outcome, whatever it was.
  struct Remark {
    FailureCause cause;
    std::string file;
    std::string detail;
  };
  std::vector<Remark> remarks;

  bool failed() const { return cause != FailureCause::None; }
  // Keeps the first cause: the one that stopped the step. Later ones are consequences.
  void note(FailureCause why, std::string what, std::string detailText = {}, std::string extraText = {}) {
    if (failed()) return;
    cause = why;
    file = std::move(what);
    detail = std::move(detailText);
    extra = std::move(extraText);
  }
  void clear() { *this = StepFailure{}; }
};

// Notes a cause when there is a record to note it in.
inline void noteFailure(StepFailure* failure, FailureCause why, std::string what, std::string detail = {},
                        std::string extra = {}) {
  if (failure != nullptr) failure->note(why, std::move(what), std::move(detail), std::move(extra));
}

inline void noteRemark(StepFailure* failure, FailureCause why, std::string what, std::string detail = {}) {
  if (failure != nullptr) failure->remarks.push_back({why, std::move(what), std::move(detail)});
}

}  // namespace kz
