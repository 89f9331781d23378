// The registry values a completed installation sets and deletes.
#include "install/completed_installation.h"

#include "platform/registry.h"

namespace kz {
namespace {

constexpr const char* kPerUserValuesDeleted[] = {
    "Main Folder Path",
    "Auto Check New Version - Disabled",
    "Auto Check New Version - Last Date Disabled",
    "Auto Check New Version - Last Date Checked",
    "Auto Check New Version - New Update Available",
    "Auto Check New Version - New Upgrade Available",
    "Auto Check New Version - New Upgrade Webpage",
    "Auto Check New Version - New Update Upgrade Last Date Shown",
};

}  // namespace

void RecordCompletedInstallation(const char* mainFolder) {
  platform::Registry& registry = platform::registry();
  (void)registry.setString(platform::RegistryRoot::LocalMachine, platform::kProductSettingsKey,
                           platform::kMainFolderValue, mainFolder);
  for (const char* value : kPerUserValuesDeleted) {
    (void)registry.deleteValue(platform::RegistryRoot::CurrentUser, platform::kProductSettingsKey, value);
  }
}

}  // namespace kz
