// UpdateApp: the state that lives for the whole run, and the rule that names the merge target.
#pragma once

#include <cstdint>

#include "platform/files.h"

namespace kz {

struct UpdateApp {
  // The three product codes this executable is built for: English, Atelier, metric.
  int32_t languageCode = 1;  // 1 = English; 0 = the second language
  int32_t editionCode = 1;   // 1 = Atelier, 2 = Studio, 3 = Galleria 5050
  int32_t unitsCode = 1;     // 0 = imperial, any other value = metric
  char modulePath[platform::kMaxPath] = {};
  char moduleFolder[platform::kMaxPath] = {};
  // Without a trailing backslash, except a drive root such as C:\ which keeps it.
  char mainFolder[platform::kMaxPath] = {};
  // Without a trailing backslash once the main dialog has created it; empty when there is none.
  char workFolder[platform::kMaxPath] = {};
  char mergeSourcePath[platform::kMaxPath] = {};
  char mergeTargetPath[platform::kMaxPath] = {};
};

// The one application object of the process.
UpdateApp& updateApp();

// The process-wide number of the registered activation message; 0 until start-up registers it.
uint32_t& activationMessage();

// The file name of the merge target for the given codes: "k", the edition letters, the language
// letter, the units letter and "_update611.exe" (kaem_update611.exe for this build).
const char* mergeTargetFileName(const UpdateApp& app, char* out, uint32_t outSize);

// Whether the work folder may be deleted with everything in it when the dialog has closed: it is
// set, and it neither is nor holds nor lies inside the main folder (compared without regard to
// ASCII letter case or the kind of slash), so that the deletion can never reach a product file or
// the set-aside folder's originals.
bool workFolderMayBeDeleted(const UpdateApp& app);

// Copies text into a path field of platform::kMaxPath bytes; false (and the field left as it was)
// when the text does not fit.
bool copyPathField(char (&field)[platform::kMaxPath], const char* text);

}  // namespace kz
