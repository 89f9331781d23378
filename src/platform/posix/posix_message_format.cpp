// POSIX stand-in for FormatMessageA from a string with an argument array.
#include <cctype>
#include <vector>

#include "platform/message_format.h"

namespace kz::platform {
namespace {

class PosixMessageFormatter final : public MessageFormatter {
 public:
  std::string format(const char* text, std::initializer_list<const char*> args) override {
    const std::vector<const char*> list(args);
    std::string out;
    for (const char* p = text; *p != '\0'; ++p) {
      if (*p != '%') {
        out += *p;
        continue;
      }
      const char next = p[1];
      if (next == '\0') {
        out += '%';
        break;
      }
      if (std::isdigit(static_cast<unsigned char>(next)) != 0 && next != '0') {
        // Up to two digits name the argument; "%12" is argument twelve.
        unsigned index = static_cast<unsigned>(next - '0');
        const char* end = p + 2;
        if (std::isdigit(static_cast<unsigned char>(*end)) != 0) {
          index = index * 10 + static_cast<unsigned>(*end - '0');
          ++end;
        }
        if (index <= list.size() && list[index - 1] != nullptr) {
          out += list[index - 1];
        } else {
          out.append(p, end);
        }
        p = end - 1;
        continue;
      }
      switch (next) {
        case 'n': out += "\r\n"; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case '0': return out;  // ends the message without a trailing line break
        default: out += next; break;  // "%%", "% ", "%.", "%!" stand for the character itself
      }
      ++p;
    }
    return out;
  }
};

}  // namespace

MessageFormatter& nativeMessageFormatter() {
  static PosixMessageFormatter instance;
  return instance;
}

}  // namespace kz::platform
