// The process-wide registry service and its test override.
#include "platform/registry.h"

namespace kz::platform {
namespace {
Registry* g_override = nullptr;
}

Registry& registry() { return g_override != nullptr ? *g_override : nativeRegistry(); }

ScopedRegistry::ScopedRegistry(Registry& replacement) : previous_(g_override) { g_override = &replacement; }

ScopedRegistry::~ScopedRegistry() { g_override = previous_; }

}  // namespace kz::platform
