// The kz6 commands: each file registers one subcommand on the tool's command line.
#pragma once

#include <CLI/CLI.hpp>

namespace kz::tool {

// Each adds one subcommand; its callback sets exitCode.
void addGunzipCommand(CLI::App& app, int& exitCode);
void addHeaderCommand(CLI::App& app, int& exitCode);
void addPackCommand(CLI::App& app, int& exitCode);
void addListCommand(CLI::App& app, int& exitCode);
void addVerifyCommand(CLI::App& app, int& exitCode);
void addExtractCommand(CLI::App& app, int& exitCode);
void addMergeCommand(CLI::App& app, int& exitCode);
void addVersionCommand(CLI::App& app, int& exitCode);
void addCheckCommand(CLI::App& app, int& exitCode);

}  // namespace kz::tool
