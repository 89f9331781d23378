// FormatMessageA from a string with an argument array.
#include <windows.h>

#include <array>
#include <string>
#include <vector>

#include "platform/message_format.h"

namespace kz::platform {
namespace {

// FormatMessageA reads an argument for every insert the text names, up to %99, whether or not the
// caller gave one. Every slot is therefore filled: a missing (or null) argument is the insert's own
// spelling, which comes out as the text stood, since inserted text is not read again.
constexpr size_t kInsertCount = 99;

const std::array<std::string, kInsertCount>& insertSpellings() {
  static const std::array<std::string, kInsertCount> spellings = [] {
    std::array<std::string, kInsertCount> s;
    for (size_t i = 0; i < kInsertCount; ++i) s[i] = "%" + std::to_string(i + 1);
    return s;
  }();
  return spellings;
}

class Win32MessageFormatter final : public MessageFormatter {
 public:
  std::string format(const char* text, std::initializer_list<const char*> args) override {
    const auto& spellings = insertSpellings();
    std::vector<DWORD_PTR> list(kInsertCount);
    for (size_t i = 0; i < kInsertCount; ++i) list[i] = reinterpret_cast<DWORD_PTR>(spellings[i].c_str());
    size_t index = 0;
    for (const char* a : args) {
      if (index == kInsertCount) break;
      if (a != nullptr) list[index] = reinterpret_cast<DWORD_PTR>(a);
      ++index;
    }
    char* buffer = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_ARGUMENT_ARRAY, text, 0, 0,
        reinterpret_cast<LPSTR>(&buffer), 0, reinterpret_cast<va_list*>(list.data()));
    std::string out = (length != 0 && buffer != nullptr) ? std::string(buffer, length) : std::string(text);
    if (buffer != nullptr) LocalFree(buffer);
    return out;
  }
};

}  // namespace

MessageFormatter& nativeMessageFormatter() {
  static Win32MessageFormatter instance;
  return instance;
}

}  // namespace kz::platform
