// Builders of product installations: the thirteen data folders, the 23 tracked files (PE files with
// version resources, the six applications with a PackageHeader) and the help files' older
// .hlp and .gid companions.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "install/tracked_files.h"
#include "package/package_header.h"

namespace kz::test {

struct ProductFile {
  bool present = true;
  // None: a PE file without a version resource. Ignored for help rows.
  std::optional<uint64_t> version;
  // Application rows: the header the file carries; none for a file without one.
  std::optional<PackageHeader> header;
  // Text that makes this copy's contents its own.
  std::string content;
};

struct ProductLayout {
  std::array<ProductFile, kTrackedFileCount> files;
  bool dataFolders = true;     // the thirteen sub-folders
  bool helpCompanions = true;  // the .hlp and .gid beside each help file
};

// The codes an application header carries: product number 1..6 and code "KAE".
PackageHeader applicationHeader(int application, double productVersion);

// An installed product of version 6.minor (6.09: minor 9), build code 111, whose application
// headers carry install values 5, 0x1234 and 77 + application and a transient value of 3.
ProductLayout installedProduct(uint16_t minor = 9);
// The files of this update: version 6.11.0.111, headers for 6.11 with no install values and a
// transient value of 9.
ProductLayout updateFiles();

// Writes the product under root (which need not exist); the new side needs no data folders.
void writeProduct(const std::filesystem::path& root, const ProductLayout& layout);

// The bytes written for one tracked file, and where its header lies in them (for application rows).
std::vector<uint8_t> productFileBytes(int row, const ProductFile& file, uint32_t* headerOffset = nullptr);

// The thirteen data folders, in the order the validation tests them.
extern const std::array<const char*, 13> kDataFolders;

// The native path of a relative product path under root.
std::filesystem::path productPath(const std::filesystem::path& root, const std::string& relative);

}  // namespace kz::test
