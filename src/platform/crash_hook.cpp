// The crash point does nothing unless a test build supplies its own.
#include "platform/crash_hook.h"

#ifndef KZ_CRASH_HOOK
namespace kz::platform {

void noteCopyStepMove() {}

}  // namespace kz::platform
#endif
