// The process-wide message box service and its test override.
#include "platform/message_box.h"

namespace kz::platform {
namespace {
MessageBoxService* g_override = nullptr;
}

MessageBoxService& messageBoxService() {
  return g_override != nullptr ? *g_override : nativeMessageBoxService();
}

ScopedMessageBoxService::ScopedMessageBoxService(MessageBoxService& replacement) : previous_(g_override) {
  g_override = &replacement;
}

ScopedMessageBoxService::~ScopedMessageBoxService() { g_override = previous_; }

}  // namespace kz::platform
