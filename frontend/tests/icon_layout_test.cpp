// Tests of where the dialog draws its icon.
#include "icon_layout.h"

#include <gtest/gtest.h>

namespace quarnel_helper {
namespace {

TEST(CenteredIconOriginTest, CentresWithTruncatingDivision) {
  const struct {
    int client_w, client_h, icon_w, icon_h, x, y;
  } cases[] = {
      {32, 32, 32, 32, 0, 0},   {160, 24, 32, 32, 64, -3},  // (24-32+1)/2 = -7/2 = -3
      {33, 34, 32, 32, 1, 1},   {100, 101, 16, 16, 42, 43},
      {0, 0, 32, 32, -15, -15},  // -31/2 truncates to -15, not -16
  };
  for (const auto& c : cases) {
    const Point p = CenteredIconOrigin(c.client_w, c.client_h, c.icon_w, c.icon_h);
    EXPECT_EQ(p.x, c.x) << c.client_w << "x" << c.client_h;
    EXPECT_EQ(p.y, c.y) << c.client_w << "x" << c.client_h;
  }
}

}  // namespace
}  // namespace quarnel_helper
