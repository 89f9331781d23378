// The arithmetic of CenterOnWorkArea, apart from the window calls that feed and apply it.
#include "app/centre_on_work_area.h"

namespace kz {

ScreenPoint centredOrigin(const ScreenRect& window, const ScreenRect& reference, const ScreenRect& workArea) {
  // 64-bit intermediates: rectangles from the system are trusted for neither size nor sign.
  const int64_t width = int64_t{window.right} - window.left;
  const int64_t height = int64_t{window.bottom} - window.top;
  int64_t x = reference.left + (int64_t{reference.right} - reference.left - width) / 2;
  int64_t y = reference.top + (int64_t{reference.bottom} - reference.top - height) / 2;
  if (x + width > workArea.right) x = workArea.right - width;
  if (y + height > workArea.bottom) y = workArea.bottom - height;
  if (x < workArea.left) x = workArea.left;
  if (y < workArea.top) y = workArea.top;
  return {static_cast<int32_t>(x), static_cast<int32_t>(y)};
}

}  // namespace kz
