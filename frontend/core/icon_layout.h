// Where the minimised dialog draws its icon.
#pragma once

namespace quarnel_helper {

struct Point {
  int x;
  int y;
};

// Centres an icon in the client area. The divisions truncate towards zero,
// also when the client area is smaller than the icon and the origin is
// negative.
constexpr Point CenteredIconOrigin(int client_width, int client_height, int icon_width,
                                   int icon_height) {
  return Point{(client_width - icon_width + 1) / 2, (client_height - icon_height + 1) / 2};
}

}  // namespace quarnel_helper
