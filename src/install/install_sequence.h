// The install sequence: the Install button's handler, chaining every step with its log lines,
// beeps and button states, and recording a completed installation in the registry.
#pragma once

#include <functional>

#include "install/compatibility.h"
#include "install/install_dialog.h"
#include "install/tracked_files.h"

namespace kz {

// What the main dialog keeps from one install run to the next.
struct InstallSession {
  TrackedFileTable table{};
  // Set once, as the last act of a successful run; never cleared.
  bool updateComplete = false;
};

// What one run reads: the folders and codes of the application state, and the extraction step
// (the package reader's extractPackage in the updater; tests supply their own).
struct InstallInputs {
  const char* mainFolder = "";
  const char* workFolder = "";
  const char* modulePath = "";
  ProductCodes codes;
  std::function<bool()> extractPackage;
};

void InstallSequence(InstallDialog& dialog, InstallSession& session, const InstallInputs& inputs);

// The registry after a completed installation: the machine-wide "Main Folder Path" set to
// mainFolder, then the per-user one and the seven "Auto Check New Version" values deleted.
// Failures are not reported: the installation is complete regardless.
void RecordCompletedInstallation(const char* mainFolder);

}  // namespace kz
