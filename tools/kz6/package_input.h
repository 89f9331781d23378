// Loading the form that a kz6 command works on: a form file, or the package area of an updater.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "package/package_header.h"

namespace kz::tool {

struct LoadedForm {
  std::vector<uint8_t> file;  // the whole file
  size_t formOffset = 0;      // where the form begins in file
  uint32_t formSize = 0;      // the package size (the whole file for a form file)
  bool fromUpdater = false;
  const uint8_t* form() const { return file.data() + formOffset; }
};

// Reads path: a file that begins with "FORM" is a form; anything else must hold exactly one
// package header, whose area's size field gives the form. False with a one-line reason in error.
bool loadForm(const std::string& path, LoadedForm& out, std::string& error);

// findPackageHeader on path, whose bytes are given; for a PE file that carries a certificate
// table, over the image before the table only. imageEnd is where that image ends. A file whose
// certificate table entry is broken gives AccessFailed and the reason in error.
PackageHeaderStatus findHeaderOutsideSignature(const std::string& path, const std::vector<uint8_t>& bytes, uint32_t& offset,
                                    uint32_t& imageEnd, std::string& error);

// Whole-file helpers for the tool.
bool readWholeFile(const std::string& path, std::vector<uint8_t>& bytes);

// Prints one line "kz6: <text>" on stderr and gives the exit code for a failure.
int fail(const std::string& text);

}  // namespace kz::tool
