// Where a window goes when it is centred on a reference rectangle but kept inside the work area.
#pragma once

#include <cstdint>

namespace kz {

struct ScreenRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
};

struct ScreenPoint {
  int32_t x = 0;
  int32_t y = 0;
};

// The new top-left corner of window: centred on reference (halves truncated toward zero), then
// moved back inside workArea, right and bottom edges first, so that a window larger than the
// work area keeps its left and top edges visible.
ScreenPoint centredOrigin(const ScreenRect& window, const ScreenRect& reference, const ScreenRect& workArea);

}  // namespace kz
