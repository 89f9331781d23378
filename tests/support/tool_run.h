// Runs a command line through the shell and captures its exit code, standard output and error.
#pragma once

#include <string>

#include "support/temp_dir.h"

namespace kz::test {

struct ToolRun {
  int exitCode;
  std::string out;
  std::string err;
};

// Runs commandLine with stdout and stderr sent to files in dir (removed again afterwards); the
// exit code is -1 when the command did not exit normally.
ToolRun runTool(const TempDir& dir, const std::string& commandLine);

// A path quoted for the shell.
std::string shellQuoted(const std::string& path);

#ifdef KZ6_EXE
// Runs the built kz6 tool (the path its tests are compiled with) with args, whose paths the
// caller has quoted.
inline ToolRun runKz6(const TempDir& dir, const std::string& args) {
  return runTool(dir, std::string(KZ6_EXE) + " " + args);
}
#endif

}  // namespace kz::test
