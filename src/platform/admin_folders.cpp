// The process-wide administrators' folder service and its test override.
#include "platform/admin_folders.h"

namespace kz::platform {
namespace {
AdminFolders* g_override = nullptr;
}

AdminFolders& adminFolders() { return g_override != nullptr ? *g_override : nativeAdminFolders(); }

ScopedAdminFolders::ScopedAdminFolders(AdminFolders& replacement) : previous_(g_override) { g_override = &replacement; }

ScopedAdminFolders::~ScopedAdminFolders() { g_override = previous_; }

}  // namespace kz::platform
