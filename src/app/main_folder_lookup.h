// Finds the product's main folder in the registry: machine-wide first, then per-user.
#pragma once

#include "app/update_app.h"

namespace kz {

// Fills mainFolder from "Main Folder Path" through the process-wide registry service. The
// machine-wide value wins whenever it is present, even when it holds the empty string; a value
// with no data, one that cannot be read, or one that does not fit the field (259 characters and
// its NUL, which it must carry) counts as absent. One trailing backslash is removed, except from a
// root such as C:\. mainFolder is left empty when neither hive gives a usable value.
void lookUpMainFolder(char (&mainFolder)[platform::kMaxPath]);

}  // namespace kz
