// Failure reporting of the driver's scenarios.
#include "check.h"

#include <cstdio>

namespace e2e {

std::string visible(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n";
    else if (c < 0x20) out += "\\x" + std::to_string(c);
    else out += static_cast<char>(c);
  }
  return out;
}

void note(const std::string& text) {
  std::printf("  %s\n", text.c_str());
  std::fflush(stdout);
}

bool Check::that(bool ok, const std::string& what) {
  if (!ok) {
    ++failures_;
    std::printf("  FAIL: %s\n", what.c_str());
    std::fflush(stdout);
  }
  return ok;
}

bool Check::equal(const std::string& actual, const std::string& expected, const std::string& what) {
  if (actual == expected) return true;
  ++failures_;
  std::printf("  FAIL: %s\n    expected: \"%s\"\n    actual:   \"%s\"\n", what.c_str(), visible(expected).c_str(),
              visible(actual).c_str());
  std::fflush(stdout);
  return false;
}

bool Check::equal(long long actual, long long expected, const std::string& what) {
  if (actual == expected) return true;
  ++failures_;
  std::printf("  FAIL: %s: expected %lld, actual %lld\n", what.c_str(), expected, actual);
  std::fflush(stdout);
  return false;
}

}  // namespace e2e
