// The process-wide in-use probe and its test override.
#include "platform/file_probe.h"

namespace kz::platform {
namespace {
FileProbe* g_override = nullptr;
}

FileProbe& fileProbe() { return g_override != nullptr ? *g_override : nativeFileProbe(); }

ScopedFileProbe::ScopedFileProbe(FileProbe& replacement) : previous_(g_override) { g_override = &replacement; }

ScopedFileProbe::~ScopedFileProbe() { g_override = previous_; }

}  // namespace kz::platform
