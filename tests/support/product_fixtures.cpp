// Product trees written from a ProductLayout.
#include "support/product_fixtures.h"

#include <algorithm>

#include "support/header_fixtures.h"
#include "support/pe_fixtures.h"
#include "support/temp_dir.h"

namespace kz::test {

const std::array<const char*, 13> kDataFolders = {"anim",         "bin",          "cameras.set", "cells.set",
                                                  "colours.set",  "misc.set",     "fonts",       "images.set",
                                                  "patterns.set", "objects.set",  "profiles.set", "app_data",
                                                  "scenes.set"};

std::filesystem::path productPath(const std::filesystem::path& root, const std::string& relative) {
  std::string native = relative;
  std::replace(native.begin(), native.end(), '\\', '/');
  return root / native;
}

PackageHeader applicationHeader(int application, double productVersion) {
  PackageHeader h = sampleHeader();
  h.productNumber = application;
  h.productCode = {'K', 'A', 'E', '\0'};
  h.productVersion = productVersion;
  return h;
}

ProductLayout installedProduct(uint16_t minor) {
  ProductLayout layout;
  for (int row = 0; row < kTrackedFileCount; ++row) {
    ProductFile& f = layout.files[row];
    f.version = makeVersion(6, minor, 2, 111);
    f.content = "installed 6." + std::to_string(minor) + " row " + std::to_string(row);
    if (kTrackedRows[row].kind == TrackedKind::Application) {
      const int app = row - 2;
      PackageHeader h = applicationHeader(app, 6.0 + minor / 100.0);
      h.installValue1 = 5;
      h.installValue2 = 0x1234;
      h.installValue3 = static_cast<uint32_t>(77 + app);
      h.transientValue = 3;
      f.header = h;
    }
  }
  return layout;
}

ProductLayout updateFiles() {
  ProductLayout layout;
  layout.dataFolders = false;
  layout.helpCompanions = false;
  for (int row = 0; row < kTrackedFileCount; ++row) {
    ProductFile& f = layout.files[row];
    f.version = makeVersion(6, 11, 0, 111);
    f.content = "update 6.11 row " + std::to_string(row);
    if (kTrackedRows[row].kind == TrackedKind::Application) {
      PackageHeader h = applicationHeader(row - 2, 6.11);
      h.transientValue = 9;
      f.header = h;
    }
  }
  return layout;
}

std::vector<uint8_t> productFileBytes(int row, const ProductFile& file, uint32_t* headerOffset) {
  std::vector<uint8_t> text(file.content.begin(), file.content.end());
  if (kTrackedRows[row].kind == TrackedKind::Help) return text;
  PeOptions options;
  options.productVersion = file.version;
  options.fileVersion = file.version.value_or(0);
  // The header sits after some bytes of its own, as it does inside a real executable.
  options.payload = text;
  options.payload.resize(64 + text.size(), 0xCC);
  const uint32_t headerAt = static_cast<uint32_t>(options.payload.size());
  if (file.header) placeHeader(options.payload, headerAt, *file.header);
  const PeFile pe = buildPeFile(options);
  if (headerOffset != nullptr) *headerOffset = pe.payloadOffset + headerAt;
  return pe.bytes;
}

void writeProduct(const std::filesystem::path& root, const ProductLayout& layout) {
  std::filesystem::create_directories(root);
  if (layout.dataFolders) {
    for (const char* folder : kDataFolders) std::filesystem::create_directories(root / folder);
  }
  for (int row = 0; row < kTrackedFileCount; ++row) {
    const ProductFile& file = layout.files[row];
    if (!file.present) continue;
    const std::filesystem::path path = productPath(root, kTrackedRows[row].relativePath);
    std::filesystem::create_directories(path.parent_path());
    writeFileBytes(path, productFileBytes(row, file));
    if (layout.helpCompanions && kTrackedRows[row].kind == TrackedKind::Help) {
      std::filesystem::path hlp = path;
      writeFileBytes(hlp.replace_extension(".hlp"), std::vector<uint8_t>(100, 'h'));
      writeFileBytes(hlp.replace_extension(".gid"), std::vector<uint8_t>(20, 'g'));
    }
  }
}

}  // namespace kz::test
