// MessageBoxA without an owner window.
#include <windows.h>

#include "platform/message_box.h"

namespace kz::platform {
namespace {

class Win32MessageBoxService final : public MessageBoxService {
 public:
  int32_t show(const char* text, const char* caption, uint32_t type) override {
    return MessageBoxA(nullptr, text, caption, type);
  }
};

}  // namespace

MessageBoxService& nativeMessageBoxService() {
  static Win32MessageBoxService instance;
  return instance;
}

}  // namespace kz::platform
