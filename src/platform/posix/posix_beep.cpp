// The POSIX stand-in has no system sound: tests observe beeps through the dialog's view instead.
#include "platform/beep.h"

namespace kz::platform {

void messageBeep(uint32_t /*type*/) {}

}  // namespace kz::platform
