// The registry after a completed installation.
#pragma once

namespace kz {

// The machine-wide "Main Folder Path" set to mainFolder, then the per-user one and the seven
// "Auto Check New Version" values deleted. Failures are not reported: the installation is
// complete regardless.
void RecordCompletedInstallation(const char* mainFolder);

}  // namespace kz
