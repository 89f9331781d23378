// The updater's extraction step: its own package area into the work folder of UpdateApp.
#include "app/extract_step.h"

#include "app/update_app.h"
#include "package/package_area.h"

namespace kz {

bool extractPackage(ExtractionFailure* failure) { return extractPackage(packageArea(), updateApp().workFolder, failure); }

}  // namespace kz
