// Expectations of one scenario: each failed one is printed at once and counted.
#pragma once

#include <string>

namespace e2e {

class Check {
 public:
  // Records a failure unless ok; what names the expectation.
  bool that(bool ok, const std::string& what);
  bool equal(const std::string& actual, const std::string& expected, const std::string& what);
  bool equal(long long actual, long long expected, const std::string& what);
  int failures() const { return failures_; }

 private:
  int failures_ = 0;
};

// Writes a progress line of the scenario (to stdout, which the runner sends to a file).
void note(const std::string& text);

// Makes CR, LF and other control characters visible in a message.
std::string visible(const std::string& text);

}  // namespace e2e
