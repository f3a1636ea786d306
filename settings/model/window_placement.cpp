#include "settings/model/window_placement.h"

namespace zvrx {

namespace {

// The frame's borders around the dialog.
constexpr int kFrameBorderWidth = 9;
constexpr int kMenuSpacing = 8;
// A menu bar taller than this wraps the main frame's menu into two rows.
constexpr int kTallMenuBar = 22;
// Distance of the home position from the screen's usable corner.
constexpr int kHomeMargin = 20;
// A notification area this close to the right edge means a taskbar at the
// bottom or top, not one docked at the left.
constexpr int kTrayNearRightEdge = 200;
// A notification area at least this far above the bottom edge means a
// taskbar at the top.
constexpr int kTrayAboveBottomEdge = 150;
// Each open page moves the next one this far to the right.
constexpr int kCascadeStep = 24;

}  // namespace

PixelSize WindowSize(int width_units, int height_units, bool main_frame,
                     const platform::ui::SystemMetrics& metrics) {
  const int menu = main_frame && metrics.menu_height > kTallMenuBar
                       ? 2 * metrics.menu_height + kMenuSpacing
                       : metrics.menu_height + kMenuSpacing;
  PixelSize size;
  size.width = width_units * 7 / 4 + kFrameBorderWidth;
  size.height = metrics.caption_height + menu + height_units * 3 / 2;
  return size;
}

PixelPoint PlaceWindow(const platform::ui::SystemMetrics& metrics,
                       const platform::ui::PixelRect& window,
                       const platform::ui::PixelRect& main_frame, int open_pages) {
  const int sx = metrics.screen_width, sy = metrics.screen_height;
  const int fx = metrics.full_screen_width, fy = metrics.full_screen_height;

  PixelPoint home;
  home.x = sx == fx || sx - metrics.tray.x < kTrayNearRightEdge ? kHomeMargin
                                                                 : sx - fx + kHomeMargin;
  if (sy == fy) {
    home.y = kHomeMargin;
  } else {
    home.y = sy - metrics.tray.y >= kTrayAboveBottomEdge ? sy - fy : kHomeMargin;
  }

  const int bottom_limit = sy - 2 * metrics.caption_height;
  const int right_limit = sx - metrics.menu_button_width;

  PixelPoint place = home;
  if (open_pages > 0) {
    place.y = main_frame.y + open_pages * (metrics.caption_height + metrics.menu_height);
    place.x = main_frame.x + kCascadeStep * open_pages;
  }
  if (place.x < 0) place.x = 0;
  if (place.y + window.height > bottom_limit) place.y = bottom_limit - window.height;
  if (place.x + window.width > right_limit) place.x = right_limit - window.width;
  return place;
}

}  // namespace zvrx
