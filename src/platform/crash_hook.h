// The crash point of the end-to-end tests: the copy step calls it right after each of its own
// file moves (setting a file aside included; the moves that undo or recover a run are not
// counted). The release and every ordinary build do nothing here; only a test build of the
// Windows program, configured with KZ_CRASH_HOOK, may end the process at the chosen move.
#pragma once

namespace kz::platform {

void noteCopyStepMove();

}  // namespace kz::platform
