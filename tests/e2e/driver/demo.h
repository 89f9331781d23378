// The demo's Windows-side steps (see scripts/demo).
#pragma once

#include <string>

namespace e2e {

// Merges root\update.kz6 into a copy of updater in root\Update, points the registry at
// root\Kestrome, runs the merged updater and presses Install. Writes the final log to
// root\log.txt and the dialog's screen rectangle (WxH+X+Y) to root\rect.txt, and leaves the
// dialog open. 0 when the install completed.
int runDemoInstall(const std::string& updater, const std::string& root);
// Closes the finished dialog (no question after a completed install).
int closeDemoDialog();

}  // namespace e2e
