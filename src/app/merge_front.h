// The merge front: the updater's start-up gives it the command line before anything else.
#pragma once

#include "app/update_app.h"

namespace kz {

// True when the command line held a well-formed merge command: the merge has then run and its
// outcome has been shown in a message box (1501, 1019 or 1020, caption 1018). False otherwise,
// with no message; start-up then goes on to the update dialog.
bool runMergeFront(UpdateApp& app, const char* commandLine);

}  // namespace kz
