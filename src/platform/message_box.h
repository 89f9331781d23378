// Message boxes of the platform boundary: the merge command's outcome and the start-up errors.
//
// A box has no owner window, one caption, one text and MessageBoxA's type bits; the result is the
// id of the button that dismissed it. Tests replace the process-wide service to record the boxes.
#pragma once

#include <cstdint>

#include "platform/service_override.h"

namespace kz::platform {

// MessageBoxA's type bits and results, used unchanged by both implementations.
inline constexpr uint32_t kMbOk = 0x00;
inline constexpr uint32_t kMbIconError = 0x10;
inline constexpr uint32_t kMbIconExclamation = 0x30;
inline constexpr uint32_t kMbIconInformation = 0x40;
inline constexpr int32_t kIdOk = 1;

class MessageBoxService {
 public:
  virtual ~MessageBoxService() = default;
  // Shows the box and waits until it is dismissed.
  virtual int32_t show(const char* text, const char* caption, uint32_t type) = 0;
};

MessageBoxService& nativeMessageBoxService();
// The process-wide service: the real one unless a test installed another.
inline MessageBoxService& messageBoxService() { return currentService(nativeMessageBoxService); }

// Installs a replacement for its lifetime; replacements nest.
using ScopedMessageBoxService = ScopedOverride<MessageBoxService>;

}  // namespace kz::platform
