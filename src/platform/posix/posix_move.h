// The parts of the POSIX move that tests reach directly: the move itself and its cross-device copy.
#pragma once

#include <string>

namespace kz::platform {

// rename, creating the destination's missing folders; across file systems copyThenDelete.
bool posixMove(const std::string& from, const std::string& to);
// Copies a regular file with its permissions, extended attributes and times, replaces the
// destination with it, then deletes the source.
bool copyThenDelete(const std::string& from, const std::string& to);

}  // namespace kz::platform
