// The platform's message formatter: a text with inserts, formatted like FormatMessageA from a
// string with an argument array. "%1".."%99" insert arguments, "%n" is a CR LF line break,
// "%%" a percent sign; other characters, line breaks included, are copied as they stand.
#pragma once

#include <initializer_list>
#include <string>

#include "platform/service_override.h"

namespace kz::platform {

class MessageFormatter {
 public:
  virtual ~MessageFormatter() = default;
  // The formatted text; an insert whose argument is missing is left as it stands.
  virtual std::string format(const char* text, std::initializer_list<const char*> args) = 0;
};

MessageFormatter& nativeMessageFormatter();
inline MessageFormatter& messageFormatter() { return currentService(nativeMessageFormatter); }

using ScopedMessageFormatter = ScopedOverride<MessageFormatter>;

}  // namespace kz::platform
