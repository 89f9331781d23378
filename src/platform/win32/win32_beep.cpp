// System beeps through MessageBeep.
#include <windows.h>

#include "platform/beep.h"

namespace kz::platform {

void messageBeep(uint32_t type) { MessageBeep(type); }

}  // namespace kz::platform
