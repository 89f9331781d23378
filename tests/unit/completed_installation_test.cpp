// The registry after a completed installation: the machine-wide main folder set, the per-user one
// and the seven "Auto Check New Version" values deleted, every other value left alone.
#include "install/completed_installation.h"

#include <gtest/gtest.h>

#include "platform/registry.h"
#include "support/install_scenario.h"

namespace {

using kz::platform::RegistryRoot;

const char* const kDeletedPerUser[] = {
    "Main Folder Path",
    "Auto Check New Version - Disabled",
    "Auto Check New Version - Last Date Disabled",
    "Auto Check New Version - Last Date Checked",
    "Auto Check New Version - New Update Available",
    "Auto Check New Version - New Upgrade Available",
    "Auto Check New Version - New Upgrade Webpage",
    "Auto Check New Version - New Update Upgrade Last Date Shown",
};

// Every listed per-user value goes, the machine-wide folder is replaced, and the values beside
// them (per-user units, a machine-wide auto-check value) stay as they were.
TEST(CompletedInstallation, SetsTheFolderAndDeletesThePerUserValues) {
  kz::test::InstallScenario s;
  auto& reg = s.registry();
  const char* key = kz::platform::kProductSettingsKey;
  ASSERT_EQ(reg.setString(RegistryRoot::LocalMachine, key, "Main Folder Path", "C:\\Old"), 0u);
  ASSERT_EQ(reg.setString(RegistryRoot::LocalMachine, key, "Auto Check New Version - Disabled", "1"), 0u);
  for (const char* v : kDeletedPerUser) ASSERT_EQ(reg.setString(RegistryRoot::CurrentUser, key, v, "1"), 0u);
  ASSERT_EQ(reg.setString(RegistryRoot::CurrentUser, key, "Units", "mm"), 0u);

  kz::RecordCompletedInstallation("C:\\Kestrome");

  EXPECT_EQ(s.registryValue(RegistryRoot::LocalMachine, "Main Folder Path"), "C:\\Kestrome");
  EXPECT_EQ(s.registryValue(RegistryRoot::LocalMachine, "Auto Check New Version - Disabled"), "1");
  for (const char* v : kDeletedPerUser) EXPECT_EQ(s.registryValue(RegistryRoot::CurrentUser, v), "<missing>") << v;
  EXPECT_EQ(s.registryValue(RegistryRoot::CurrentUser, "Units"), "mm");
}

// Values that are already missing are no obstacle: the folder is still recorded.
TEST(CompletedInstallation, MissingValuesAreNoObstacle) {
  kz::test::InstallScenario s;
  kz::RecordCompletedInstallation("D:\\Product");
  EXPECT_EQ(s.registryValue(RegistryRoot::LocalMachine, "Main Folder Path"), "D:\\Product");
  EXPECT_EQ(s.registryValue(RegistryRoot::CurrentUser, "Main Folder Path"), "<missing>");
}

}  // namespace
