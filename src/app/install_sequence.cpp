// The stages of an install run, in order, and what the dialog shows after each.
#include "app/install_sequence.h"

#include <string>

#include "app/main_folder_validation.h"
#include "app/string_table.h"
#include "install/completed_installation.h"
#include "install/copy_files.h"
#include "install/in_use.h"
#include "install/set_aside.h"
#include "platform/beep.h"
#include "platform/message_format.h"

namespace kz {
namespace {

void log(DialogView& view, strings::Id id) { appendLog(view, strings::lookup(id), false); }

}  // namespace

std::string DescribeFailureCause(const StepFailure& failure) {
  strings::Id id = strings::kCauseFileInUse;
  switch (failure.cause) {
    case FailureCause::None: return {};
    case FailureCause::FileInUse: id = strings::kCauseFileInUse; break;
    case FailureCause::NoPackage: id = strings::kCauseNoPackage; break;
    case FailureCause::PackageDamaged: id = strings::kCausePackageDamaged; break;
    case FailureCause::EntryDamaged: id = strings::kCauseEntryDamaged; break;
    case FailureCause::EntryNotWritten: id = strings::kCauseEntryNotWritten; break;
    case FailureCause::WorkFolderUnusable: id = strings::kCauseWorkFolder; break;
    case FailureCause::OutOfMemory: id = strings::kCauseNoMemory; break;
    case FailureCause::VersionNotReplaced: id = strings::kCauseVersionNotReplaced; break;
    case FailureCause::NewFileMissing: id = strings::kCauseNewFileMissing; break;
    case FailureCause::OtherProduct: id = strings::kCauseOtherProduct; break;
    case FailureCause::ProductVersionLater: id = strings::kCauseProductVersionLater; break;
    case FailureCause::HeaderMissing: id = strings::kCauseHeaderMissing; break;
    case FailureCause::HeaderNotWritten: id = strings::kCauseHeaderNotWritten; break;
    case FailureCause::FolderNotCreated: id = strings::kCauseFolderNotCreated; break;
    case FailureCause::FolderLeftOver: id = strings::kCauseFolderLeftOver; break;
    case FailureCause::JournalNotWritten: id = strings::kCauseJournalNotWritten; break;
    case FailureCause::JournalUnreadable: id = strings::kCauseJournalUnreadable; break;
    case FailureCause::FileNotMoved: id = strings::kCauseFileNotMoved; break;
    case FailureCause::FileNotDeleted: id = strings::kCauseFileNotDeleted; break;
    case FailureCause::AttributesNotRestored: id = strings::kCauseAttributesNotRestored; break;
    case FailureCause::FolderNotRemoved: id = strings::kCauseFolderNotRemoved; break;
    case FailureCause::JournalForeign: id = strings::kCauseJournalForeign; break;
    case FailureCause::SetAsidePathTooLong: id = strings::kCauseSetAsidePathTooLong; break;
    case FailureCause::FolderNotFlushed: id = strings::kCauseFolderNotFlushed; break;
    case FailureCause::FolderLeftInPlace: id = strings::kRemarkFolderLeftInPlace; break;
    case FailureCause::NewFileUnreadable: id = strings::kCauseNewFileUnreadable; break;
    case FailureCause::FileNotOurs: id = strings::kCauseFileNotOurs; break;
    case FailureCause::FileLeftInPlace: id = strings::kRemarkFileLeftInPlace; break;
    case FailureCause::LinkedFolder: id = strings::kCauseLinkedFolder; break;
  }
  return platform::messageFormatter().format(strings::lookup(id),
                                             {failure.file.c_str(), failure.detail.c_str(), failure.extra.c_str()});
}

namespace {

// What a rollback left in place, one line each.
void logRemarks(DialogView& view, const StepFailure& failure) {
  for (const StepFailure::Remark& remark : failure.remarks) {
    StepFailure one;
    one.note(remark.cause, remark.file, remark.detail);
    appendLog(view, DescribeFailureCause(one).c_str(), false);
  }
}

// The lines that follow a stage's "...FAILED.": the cause, what a rollback left in place, then
// where the originals are kept when they could not all be put back.
void logFailure(DialogView& view, const StepFailure& failure) {
  log(view, strings::kOutcomeFailed);
  const std::string cause = DescribeFailureCause(failure);
  if (!cause.empty()) appendLog(view, cause.c_str(), false);
  logRemarks(view, failure);
  if (!failure.keptIn.empty()) {
    const std::string kept =
        platform::messageFormatter().format(strings::lookup(strings::kOriginalsKept), {failure.keptIn.c_str()});
    appendLog(view, kept.c_str(), false);
  }
}

void noteExtractionFailure(StepFailure& failure, const ExtractionFailure& extraction, const char* workFolder) {
  switch (extraction.error) {
    case ExtractionError::None: break;
    case ExtractionError::WorkFolder: failure.note(FailureCause::WorkFolderUnusable, workFolder); break;
    case ExtractionError::NoPackage: failure.note(FailureCause::NoPackage, {}); break;
    case ExtractionError::NoMemory: failure.note(FailureCause::OutOfMemory, {}); break;
    case ExtractionError::NotAPackage:
    case ExtractionError::EntryDescription: failure.note(FailureCause::PackageDamaged, {}); break;
    case ExtractionError::EntryDamaged: failure.note(FailureCause::EntryDamaged, extraction.entry); break;
    case ExtractionError::EntryNotWritten: failure.note(FailureCause::EntryNotWritten, extraction.entry, workFolder); break;
  }
}

// Finishes what an earlier run left in the set-aside folder. It runs after the validation, which
// it needs (a folder that is no product is never written to), and before the table is gathered
// and probed, which must see the product's own files rather than a half-copied mix. False ends
// the run: the Install button stays, so that the user can close whatever holds a file and retry.
bool finishEarlierRun(DialogView& view, InstallSession& session, const InstallInputs& inputs) {
  const RecoveryOutcome outcome = RecoverInterruptedInstall(inputs.mainFolder, view.windowHandle(), &session.failure);
  switch (outcome) {
    case RecoveryOutcome::NothingToDo:
    case RecoveryOutcome::Cleared:
      return true;
    case RecoveryOutcome::RolledBack:
      log(view, strings::kHeadingRecovering);
      log(view, strings::kOutcomeOk);
      logRemarks(view, session.failure);
      session.failure.remarks.clear();
      return true;
    case RecoveryOutcome::Failed:
    case RecoveryOutcome::ClearFailed:
      log(view, outcome == RecoveryOutcome::Failed ? strings::kHeadingRecovering : strings::kHeadingClearing);
      logFailure(view, session.failure);
      view.beep(platform::kBeepExclamation);
      view.focusControl(KZ_IDC_INSTALL);
      return false;
  }
  return false;
}

}  // namespace

void InstallSequence(DialogView& view, InstallSession& session, const InstallInputs& inputs) {
  if (!ValidateMainFolder(view, inputs.mainFolder)) return;
  session.failure.clear();
  if (!finishEarlierRun(view, session, inputs)) return;

  // A path too long for the table leaves that row's path empty: it matches no file, and a row
  // that must be copied there fails the copy step, which then restores the main folder.
  (void)BuildTrackedFileTable(session.table, inputs.mainFolder, inputs.workFolder);
  GatherInstalledInfo(session.table);

  log(view, strings::kHeadingInitializing);
  if (!CheckFilesNotInUse(session.table, inputs.mainFolder, &session.failure)) {
    (void)PutBackProbedAttributes(session.table, false);
    logFailure(view, session.failure);
    if (session.failure.cause == FailureCause::FileInUse) {
      const std::string advice =
          platform::messageFormatter().format(strings::lookup(strings::kApplicationsRunning), {inputs.modulePath});
      appendLog(view, advice.c_str(), false);
    }
    view.beep(platform::kBeepExclamation);
    view.focusControl(KZ_IDC_INSTALL);
    return;
  }
  log(view, strings::kOutcomeOk);

  // From here on only the Quit button, now "Close", is left until the run ends.
  view.focusControl(KZ_IDC_QUIT);
  view.enableControl(KZ_IDC_INSTALL, false);
  view.enableControl(KZ_IDC_MAIN_FOLDER, false);
  const std::string savedQuitCaption = view.controlText(KZ_IDC_QUIT);
  view.setControlText(KZ_IDC_QUIT, strings::lookup(strings::kCloseCaption));

  log(view, strings::kHeadingDecompressing);
  ExtractionFailure extraction;
  if (!inputs.extractPackage || !inputs.extractPackage(&extraction)) {
    noteExtractionFailure(session.failure, extraction, inputs.workFolder);
    (void)PutBackProbedAttributes(session.table, false);
    logFailure(view, session.failure);
    view.beep(platform::kBeepHand);
    return;
  }
  log(view, strings::kOutcomeOk);
  log(view, strings::kHeadingTesting);

  GatherNewInfo(session.table);
  if (!TestCompatibility(session.table, inputs.codes, &session.failure)) {
    (void)PutBackProbedAttributes(session.table, false);
    logFailure(view, session.failure);
    view.beep(platform::kBeepExclamation);
    // The user may point at another main folder and try again.
    view.setControlText(KZ_IDC_QUIT, savedQuitCaption.c_str());
    view.enableControl(KZ_IDC_MAIN_FOLDER, true);
    view.enableControl(KZ_IDC_INSTALL, true);
    view.focusControl(KZ_IDC_INSTALL);
    return;
  }
  log(view, strings::kOutcomeOk);
  log(view, strings::kHeadingCopying);

  const bool copied = CopyNewFiles(session.table, inputs.mainFolder, view.windowHandle(), &session.failure);
  // A file the copy step replaced has the new file's attributes, and one whose original it could
  // not put back gets them from the next run's recovery; every other file gets back what the
  // probe could not return, also the rows marked for copy when the step stopped before moving
  // them or put their originals back.
  (void)PutBackProbedAttributes(session.table, copied || !session.failure.keptIn.empty());
  if (!copied) {
    logFailure(view, session.failure);
    view.beep(platform::kBeepHand);
    return;
  }
  log(view, strings::kOutcomeOk);

  RecordCompletedInstallation(inputs.mainFolder);
  log(view, strings::kInstallCompleted);
  view.beep(platform::kBeepOk);
  session.updateComplete = true;
}

}  // namespace kz
