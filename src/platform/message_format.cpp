// The process-wide message formatter and its test override.
#include "platform/message_format.h"

namespace kz::platform {
namespace {
MessageFormatter* g_override = nullptr;
}

MessageFormatter& messageFormatter() {
  return g_override != nullptr ? *g_override : nativeMessageFormatter();
}

ScopedMessageFormatter::ScopedMessageFormatter(MessageFormatter& replacement) : previous_(g_override) {
  g_override = &replacement;
}

ScopedMessageFormatter::~ScopedMessageFormatter() { g_override = previous_; }

}  // namespace kz::platform
