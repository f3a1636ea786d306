// The plain values the window layer speaks: pixel rectangles, dialog base
// units, screen measures and scroll requests. They live below the window
// layer so that the settings program's Qt-free page logic computes layouts
// and scrolling with them without linking any window code.
#pragma once

namespace zvrx::platform::ui {

// Dialog base units of a font, as Windows computes them: horizontal = the
// average width of the 52 letters A-Z a-z, vertical = the font's height.
// A dialog unit is a quarter of the first and an eighth of the second.
struct BaseUnits {
  int x = 0;
  int y = 0;
};

struct PixelRect {
  int x = 0, y = 0, width = 0, height = 0;
};

// Screen and system measures (GetSystemMetrics and the tray's rectangle),
// in pixels. Fixed values stand where Windows had fixed ones, so layouts do
// not depend on the window manager.
struct SystemMetrics {
  int screen_width = 0, screen_height = 0;            // SM_CXSCREEN, SM_CYSCREEN
  int full_screen_width = 0, full_screen_height = 0;  // SM_CXFULLSCREEN, SM_CYFULLSCREEN
  int caption_height = 0;                             // SM_CYCAPTION
  int menu_height = 0;                                // SM_CYMENU
  int menu_button_width = 0;                          // SM_CXMENUSIZE
  PixelRect tray;  // the notification area; all zero when there is none
};

// Scroll requests of WM_VSCROLL.
inline constexpr int kSbLineUp = 0;
inline constexpr int kSbLineDown = 1;
inline constexpr int kSbPageUp = 2;
inline constexpr int kSbPageDown = 3;
inline constexpr int kSbThumbPosition = 4;  // thumb released at `position`
inline constexpr int kSbThumbTrack = 5;     // thumb dragged to `position`
inline constexpr int kSbTop = 6;
inline constexpr int kSbBottom = 7;
inline constexpr int kSbEndScroll = 8;

}  // namespace zvrx::platform::ui
