// Running the host tools from tests.
#include "support/tool_run.h"

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace kz::test {

ToolRun runTool(const TempDir& dir, const std::string& commandLine) {
  const std::string out = dir.file("stdout.txt");
  const std::string err = dir.file("stderr.txt");
  const int status = std::system((commandLine + " >" + shellQuoted(out) + " 2>" + shellQuoted(err)).c_str());
  auto slurp = [](const std::string& p) {
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  };
  ToolRun r{WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(out), slurp(err)};
  std::filesystem::remove(out);
  std::filesystem::remove(err);
  return r;
}

std::string shellQuoted(const std::string& path) {
  std::string quoted = "'";
  for (const char c : path) {
    if (c == '\'') quoted += "'\\''";
    else quoted += c;
  }
  return quoted + "'";
}

}  // namespace kz::test
