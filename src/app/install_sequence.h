// The install sequence: the Install button's handler, chaining the install steps (which return
// what they did) with the progress log's lines, the beeps and the button states.
#pragma once

#include <functional>
#include <string>

#include "app/dialog_view.h"
#include "install/compatibility.h"
#include "install/step_failure.h"
#include "install/tracked_files.h"
#include "package/extract_package.h"

namespace kz {

// What the main dialog keeps from one install run to the next.
struct InstallSession {
  TrackedFileTable table{};
  // Set once, as the last act of a successful run; never cleared.
  bool updateComplete = false;
  // Why the latest run stopped; cleared when a run starts.
  StepFailure failure;
};

// The extraction step: true when the whole package is in the work folder; otherwise the failure,
// when given, says why.
using ExtractStep = std::function<bool(ExtractionFailure* failure)>;

// What one run reads: the folders and codes of the application state, and the extraction step
// (the package reader's extractPackage in the updater; tests supply their own).
struct InstallInputs {
  const char* mainFolder = "";
  const char* workFolder = "";
  const char* modulePath = "";
  ProductCodes codes;
  ExtractStep extractPackage;
};

// The Install button's run. Before anything else, once the main folder is validated, it finishes
// what an earlier run left in the main folder's set-aside folder (rolls an interrupted copy step
// back, or clears a completed one's set-aside files), so that the tracked files it then examines
// and probes are the product's own; when that cannot be done the run stops there.
void InstallSequence(DialogView& view, InstallSession& session, const InstallInputs& inputs);

// The progress-log line that names a failure's cause ("%n" and the text of the cause), or the
// empty string when there is no cause to name.
std::string DescribeFailureCause(const StepFailure& failure);

}  // namespace kz
