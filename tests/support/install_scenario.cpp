// The install setting's folders and its stand-in extraction.
#include "support/install_scenario.h"

namespace kz::test {

InstallScenario::InstallScenario(const ProductLayout& installed, const ProductLayout& update)
    : main_(dir_.path() / "Kestrome"),
      work_(dir_.path() / "~KM1A2.TMP"),
      registry_((dir_.path() / "registry.txt").string()),
      scopedRegistry_(registry_),
      update_(update) {
  writeProduct(main_, installed);
  std::filesystem::create_directories(work_);
}

std::function<bool()> InstallScenario::extraction() {
  return [this] {
    ++extractions_;
    writeProduct(work_, update_);
    return true;
  };
}

std::function<bool(ExtractionFailure*)> InstallScenario::extractStep() {
  return [this](ExtractionFailure*) { return extraction()(); };
}

std::string InstallScenario::registryValue(platform::RegistryRoot root, const char* name) {
  char buffer[300] = {};
  uint32_t size = sizeof buffer;
  if (registry_.readString(root, platform::kProductSettingsKey, name, buffer, size) != 0) return "<missing>";
  return buffer;
}

}  // namespace kz::test
