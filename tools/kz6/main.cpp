// kz6: packs, inspects, verifies, extracts and merges update packages for the maker's build.
#include <cstdio>

#include "commands.h"

int main(int argc, char** argv) {
  CLI::App app{"kz6: the maker's tool for Kestrome update packages"};
  app.require_subcommand(1);
  int exitCode = 0;
  kz::tool::addGunzipCommand(app, exitCode);
  kz::tool::addPackCommand(app, exitCode);
  kz::tool::addListCommand(app, exitCode);
  kz::tool::addVerifyCommand(app, exitCode);
  kz::tool::addExtractCommand(app, exitCode);
  kz::tool::addMergeCommand(app, exitCode);
  kz::tool::addHeaderCommand(app, exitCode);
  kz::tool::addVersionCommand(app, exitCode);
  kz::tool::addCheckCommand(app, exitCode);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e);
  }
  return exitCode;
}
