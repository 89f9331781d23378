// kz6 list FILE: one line per entry: path, attributes, time, stored size, uncompressed size.
#include <cinttypes>
#include <cstdio>
#include <ctime>

#include "commands.h"
#include "form_walk.h"

namespace kz::tool {
namespace {

std::string utcTime(uint32_t seconds) {
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
  return text;
}

int runList(const std::string& path) {
  LoadedForm form;
  std::string error;
  if (!loadForm(path, form, error)) return fail(error);
  unsigned count = 0;
  const bool ok = walkForm(
      form,
      [&](ReaderContext&, const PackageEntry& e, uint32_t, std::string&) {
        const uint32_t attributes = (static_cast<uint32_t>(e.attributeHigh) << 16) | e.attributes;
        std::printf("%s  0x%08" PRIX32 "  %s  %" PRIu32 "  %" PRIu32 "\n", e.path, attributes, utcTime(e.time).c_str(),
                    e.storedSize, e.uncompressedSize);
        ++count;
        return true;
      },
      error);
  if (!ok) return fail(error);
  return 0;
}

}  // namespace

void addListCommand(CLI::App& app, int& exitCode) {
  auto* cmd = app.add_subcommand(
      "list", "List the entries of a form or of an updater's package: path, attributes, time (UTC), stored "
              "size, uncompressed size");
  auto path = std::make_shared<std::string>();
  cmd->add_option("FILE", *path, "A KZ6 form, or an executable that carries a package area")->required();
  cmd->callback([path, &exitCode] { exitCode = runList(*path); });
}

}  // namespace kz::tool
