// Centring the folder picker: on its owner, on the work area, and never partly outside the work area.
#include "app/centre_on_work_area.h"

#include <gtest/gtest.h>

namespace {

using kz::centredOrigin;
using kz::ScreenRect;

const ScreenRect kWorkArea{0, 0, 1280, 984};

::testing::AssertionResult at(kz::ScreenPoint p, int32_t x, int32_t y) {
  if (p.x == x && p.y == y) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "(" << p.x << ", " << p.y << ") instead of (" << x << ", " << y << ")";
}

// A window centred on a reference inside the work area lands on the reference's centre.
TEST(CentreOnWorkArea, CentresOnTheReference) {
  EXPECT_TRUE(at(centredOrigin({0, 0, 400, 300}, {100, 100, 900, 700}, kWorkArea), 300, 250));
}

// Without an owner the reference is the work area itself.
TEST(CentreOnWorkArea, CentresOnTheWorkAreaWithoutOwner) {
  EXPECT_TRUE(at(centredOrigin({50, 50, 450, 350}, kWorkArea, kWorkArea), 440, 342));
}

// Odd differences are halved toward zero, also when the window is larger than the reference.
TEST(CentreOnWorkArea, TruncatesHalvesTowardZero) {
  EXPECT_TRUE(at(centredOrigin({0, 0, 401, 301}, {100, 100, 900, 700}, kWorkArea), 299, 249));
  // Reference 100 wide, window 301 wide: (100 - 301) / 2 = -100 (not -101).
  EXPECT_TRUE(at(centredOrigin({0, 0, 301, 301}, {500, 500, 600, 600}, kWorkArea), 400, 400));
}

// A reference near the bottom-right corner pushes the window back inside the work area.
TEST(CentreOnWorkArea, KeepsTheRightAndBottomEdgesInside) {
  EXPECT_TRUE(at(centredOrigin({0, 0, 400, 300}, {1100, 900, 1300, 1000}, kWorkArea), 880, 684));
}

// A reference off the top-left corner, or a window larger than the work area, keeps the left and
// top edges visible: those checks come last.
TEST(CentreOnWorkArea, KeepsTheLeftAndTopEdgesVisible) {
  EXPECT_TRUE(at(centredOrigin({0, 0, 400, 300}, {-500, -400, -100, -100}, kWorkArea), 0, 0));
  EXPECT_TRUE(at(centredOrigin({0, 0, 2000, 1500}, kWorkArea, {10, 20, 1280, 984}), 10, 20));
}

// A work area that does not start at the origin (a task bar on the left or top) is respected.
TEST(CentreOnWorkArea, RespectsAnOffsetWorkArea) {
  EXPECT_TRUE(at(centredOrigin({0, 0, 400, 300}, {0, 0, 200, 200}, {60, 40, 1280, 1024}), 60, 40));
}

}  // namespace
