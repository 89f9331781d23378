// The crash point of the end-to-end tests, built only into the Windows test build (KZ_CRASH_HOOK).
//
// With KZ_CRASH_AFTER_MOVES=N in its environment the updater ends itself at once, exit code 3,
// right after the copy step's N-th move, as a killed process or a power cut would end it: no
// stream is flushed, nothing is undone. Without the variable, or with anything but a positive
// decimal number in it, the crash point does nothing.
#include <windows.h>

#include "platform/crash_hook.h"

namespace kz::platform {
namespace {

constexpr char kVariable[] = "KZ_CRASH_AFTER_MOVES";
constexpr unsigned long kMostMoves = 1000000;

unsigned long movesBeforeCrash() {
  char text[16] = {};
  const DWORD length = GetEnvironmentVariableA(kVariable, text, sizeof text);
  if (length == 0 || length >= sizeof text) return 0;
  unsigned long moves = 0;
  for (DWORD i = 0; i < length; ++i) {
    if (text[i] < '0' || text[i] > '9') return 0;
    moves = moves * 10 + static_cast<unsigned long>(text[i] - '0');
    if (moves > kMostMoves) return 0;
  }
  return moves;
}

}  // namespace

void noteCopyStepMove() {
  static const unsigned long crashAfter = movesBeforeCrash();
  static unsigned long moves = 0;
  if (crashAfter == 0) return;
  if (++moves == crashAfter) TerminateProcess(GetCurrentProcess(), 3);
}

}  // namespace kz::platform
