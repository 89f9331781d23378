// kz6 version FILE: prints the product version of a file's version resource as
// major.minor.third.fourth, 0.0.0.0 when it has none, read by the portable PE reader.
#include <cstdio>
#include <memory>
#include <string>

#include "commands.h"
#include "platform/file_version.h"
#include "platform/files.h"

namespace kz::tool {
namespace {

int runVersion(const std::string& path) {
  if (!platform::fileSystem().pathExists(path.c_str())) {
    std::fprintf(stderr, "kz6 version: cannot open %s\n", path.c_str());
    return 1;
  }
  const uint64_t v = platform::portableProductVersion(path.c_str());
  std::printf("%u.%u.%u.%u\n", static_cast<unsigned>((v >> 48) & 0xFFFF), static_cast<unsigned>((v >> 32) & 0xFFFF),
              static_cast<unsigned>((v >> 16) & 0xFFFF), static_cast<unsigned>(v & 0xFFFF));
  return 0;
}

}  // namespace

void addVersionCommand(CLI::App& app, int& exitCode) {
  auto* command = app.add_subcommand("version", "Print the product version of a file (0.0.0.0 when it has none)");
  auto path = std::make_shared<std::string>();
  command->add_option("FILE", *path, "The file to read")->required();
  command->callback([path, &exitCode] { exitCode = runVersion(*path); });
}

}  // namespace kz::tool
