// POSIX stand-in for MessageBoxA: the caption and text go to stderr, and OK is the answer.
#include <cstdio>

#include "platform/message_box.h"

namespace kz::platform {
namespace {

class PosixMessageBoxService final : public MessageBoxService {
 public:
  int32_t show(const char* text, const char* caption, uint32_t) override {
    std::fprintf(stderr, "[%s]\n%s\n", caption, text);
    return kIdOk;
  }
};

}  // namespace

MessageBoxService& nativeMessageBoxService() {
  static PosixMessageBoxService instance;
  return instance;
}

}  // namespace kz::platform
