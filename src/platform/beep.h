// The system beeps that end a stage: hand for a failure that ends or prevents the installation,
// exclamation for one the user can remedy, and the plain one for a completed installation.
#pragma once

#include <cstdint>

namespace kz::platform {

inline constexpr uint32_t kBeepOk = 0x00;           // MB_OK
inline constexpr uint32_t kBeepHand = 0x10;         // MB_ICONHAND
inline constexpr uint32_t kBeepExclamation = 0x30;  // MB_ICONEXCLAMATION

// MessageBeep on Windows; elsewhere there is nothing to sound.
void messageBeep(uint32_t type);

}  // namespace kz::platform
