// The process-wide file mover and its test override.
#include "platform/shell_move.h"

namespace kz::platform {
namespace {
ShellMover* g_override = nullptr;
}

ShellMover& shellMover() { return g_override != nullptr ? *g_override : nativeShellMover(); }

ScopedShellMover::ScopedShellMover(ShellMover& replacement) : previous_(g_override) { g_override = &replacement; }

ScopedShellMover::~ScopedShellMover() { g_override = previous_; }

}  // namespace kz::platform
