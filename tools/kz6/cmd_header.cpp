// kz6 header FILE: finds the one PackageHeader in a file, reads it and prints every field.
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>

#include "commands.h"
#include "package/package_header.h"
#include "package_input.h"

namespace kz::tool {
namespace {

std::string printable(const char* bytes, size_t size) {
  std::string text;
  for (size_t i = 0; i < size; ++i) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      text += static_cast<char>(c);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      text += escaped;
    }
  }
  return text;
}

std::string hex(const uint8_t* bytes, size_t size) {
  std::string text;
  for (size_t i = 0; i < size; ++i) {
    char pair[4];
    std::snprintf(pair, sizeof pair, "%02X", bytes[i]);
    text += pair;
  }
  return text;
}

int runHeader(const std::string& path) {
  std::vector<uint8_t> bytes;
  if (!readWholeFile(path, bytes)) {
    std::printf("code: %u\n", static_cast<unsigned>(PackageHeaderStatus::AccessFailed));
    return 1;
  }
  uint32_t offset = 0;
  uint32_t imageEnd = 0;
  std::string error;
  PackageHeaderStatus code = findHeaderOutsideSignature(path, bytes, offset, imageEnd, error);
  if (!error.empty()) std::fprintf(stderr, "kz6: %s: %s\n", path.c_str(), error.c_str());
  PackageHeader header;
  if (code == PackageHeaderStatus::Ok) code = readPackageHeader(path.c_str(), offset, header);
  std::printf("code: %u\n", static_cast<unsigned>(code));
  if (code != PackageHeaderStatus::Ok) return 1;

  uint64_t headerVersionBits = 0;
  uint64_t productVersionBits = 0;
  std::memcpy(&headerVersionBits, &header.headerVersion, 8);
  std::memcpy(&productVersionBits, &header.productVersion, 8);
  std::printf("offset: %" PRIu32 " (0x%08" PRIX32 ")\n", offset, offset);
  std::printf("marker: \"%s\"\n", printable(header.marker.data(), header.marker.size()).c_str());
  std::printf("headerVersion: %.15g (0x%016" PRIX64 ")\n", header.headerVersion, headerVersionBits);
  std::printf("productNumber: %" PRId32 "\n", header.productNumber);
  std::printf("productCode: \"%s\"\n", printable(header.productCode.data(), header.productCode.size()).c_str());
  std::printf("reserved: %s\n", hex(header.reserved.data(), header.reserved.size()).c_str());
  std::printf("productVersion: %.15g (0x%016" PRIX64 ")\n", header.productVersion, productVersionBits);
  std::printf("installValue1: %" PRIu32 "\n", header.installValue1);
  std::printf("installValue2: %" PRIu32 "\n", header.installValue2);
  std::printf("transientValue: %" PRIu32 "\n", header.transientValue);
  std::printf("installValue3: %" PRIu32 "\n", header.installValue3);
  return 0;
}

}  // namespace

void addHeaderCommand(CLI::App& app, int& exitCode) {
  auto* cmd = app.add_subcommand("header", "Find the one PackageHeader in FILE and print its offset and fields");
  auto path = std::make_shared<std::string>();
  cmd->add_option("FILE", *path, "Any file: an updater, a product executable, a form")->required();
  cmd->callback([path, &exitCode] { exitCode = runHeader(*path); });
}

}  // namespace kz::tool
