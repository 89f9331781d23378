// FormatMessageA from a string with an argument array.
#include <windows.h>

#include <vector>

#include "platform/message_format.h"

namespace kz::platform {
namespace {

class Win32MessageFormatter final : public MessageFormatter {
 public:
  std::string format(const char* text, std::initializer_list<const char*> args) override {
    std::vector<DWORD_PTR> list;
    for (const char* a : args) list.push_back(reinterpret_cast<DWORD_PTR>(a));
    char* buffer = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_ARGUMENT_ARRAY,
        text, 0, 0, reinterpret_cast<LPSTR>(&buffer), 0,
        reinterpret_cast<va_list*>(list.empty() ? nullptr : list.data()));
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
