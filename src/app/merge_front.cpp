// Recognises the merge command, checks the source, merges and reports in one message box.
#include "app/merge_front.h"

#include <string>

#include "app/string_table.h"
#include "package/merge_package.h"
#include "package/package_area.h"
#include "platform/message_box.h"
#include "platform/message_format.h"

namespace kz {

bool runMergeFront(UpdateApp& app, const char* commandLine) {
  if (!parseMergeCommand(commandLine, app.mergeSourcePath)) return false;
  const char* caption = strings::lookup(strings::kMergeCaption);

  std::string text;
  uint32_t icon = platform::kMbIconError;
  if (!mergeSourceFits(app.mergeSourcePath, kInternalBufferSize)) {
    text = strings::lookup(strings::kMergeStopped);
  } else if (mergePackage(app.modulePath, app.mergeSourcePath, app.mergeTargetPath, kInternalBufferSize) ==
             MergeFailure::None) {
    text = platform::messageFormatter().format(strings::lookup(strings::kMergeSucceeded), {app.mergeTargetPath});
    icon = platform::kMbIconInformation;
  } else {
    text = strings::lookup(strings::kMergeFailed);
  }
  platform::messageBoxService().show(text.c_str(), caption, platform::kMbOk | icon);
  return true;
}

}  // namespace kz
