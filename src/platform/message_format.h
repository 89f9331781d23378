// The platform's message formatter: a text with inserts, formatted like FormatMessageA from a
// string with an argument array. "%1".."%99" insert arguments, "%n" is a CR LF line break,
// "%%" a percent sign; other characters, line breaks included, are copied as they stand.
#pragma once

#include <initializer_list>
#include <string>

namespace kz::platform {

class MessageFormatter {
 public:
  virtual ~MessageFormatter() = default;
  // The formatted text; an insert whose argument is missing is left as it stands.
  virtual std::string format(const char* text, std::initializer_list<const char*> args) = 0;
};

MessageFormatter& messageFormatter();
MessageFormatter& nativeMessageFormatter();

class ScopedMessageFormatter {
 public:
  explicit ScopedMessageFormatter(MessageFormatter& replacement);
  ~ScopedMessageFormatter();
  ScopedMessageFormatter(const ScopedMessageFormatter&) = delete;
  ScopedMessageFormatter& operator=(const ScopedMessageFormatter&) = delete;

 private:
  MessageFormatter* previous_;
};

}  // namespace kz::platform
