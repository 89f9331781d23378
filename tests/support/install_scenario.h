// A whole install setting on disk: an installed product in a main folder, an empty work folder, a
// registry store of the test's own, and an extraction that writes the update's files into the
// work folder as the package reader would.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "package/extract_package.h"
#include "platform/posix/file_registry.h"
#include "platform/registry.h"
#include "support/product_fixtures.h"
#include "support/temp_dir.h"

namespace kz::test {

class InstallScenario {
 public:
  explicit InstallScenario(const ProductLayout& installed = installedProduct(),
                           const ProductLayout& update = updateFiles());

  const std::filesystem::path& mainFolder() const { return main_; }
  const std::filesystem::path& workFolder() const { return work_; }
  std::string mainFolderText() const { return main_.string(); }
  std::string workFolderText() const { return work_.string(); }
  platform::FileRegistry& registry() { return registry_; }

  // Writes the update's files into the work folder; counts its calls.
  std::function<bool()> extraction();
  // The same as an install step's extraction.
  std::function<bool(ExtractionFailure*)> extractStep();
  int extractions() const { return extractions_; }
  ProductLayout& update() { return update_; }

  // A value of the product's key in one hive; "<missing>" when it is not there.
  std::string registryValue(platform::RegistryRoot root, const char* name);

 private:
  TempDir dir_;
  std::filesystem::path main_;
  std::filesystem::path work_;
  platform::FileRegistry registry_;
  platform::ScopedRegistry scopedRegistry_;
  ProductLayout update_;
  int extractions_ = 0;
};

}  // namespace kz::test
