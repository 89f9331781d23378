// The POSIX spelling of an updater path: backslashes become slashes.
#pragma once

#include <string>

namespace kz::platform {

inline std::string posixPath(const char* path) {
  std::string p(path != nullptr ? path : "");
  for (char& c : p) {
    if (c == '\\') c = '/';
  }
  return p;
}

}  // namespace kz::platform
