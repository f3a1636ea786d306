// Sizes and places the main frame and the page windows: a frame is as large
// as its dialog needs, the main frame starts clear of the taskbar, and pages
// cascade over the main frame.
#pragma once

#include "platform/window_metrics.h"

namespace zvrx {

struct PixelSize {
  int width = 0, height = 0;
};

// Outer pixel size of a frame hosting a dialog of `width_units` x
// `height_units`; the main frame leaves room for a second menu row when its
// menu bar is tall.
PixelSize WindowSize(int width_units, int height_units, bool main_frame,
                     const platform::ui::SystemMetrics& metrics);

struct PixelPoint {
  int x = 0, y = 0;
};

// Top-left corner for `window` (its current rectangle gives the size).
// `open_pages` counts the open page windows, `window` itself included when
// it is a page; with none, the window goes to the home position clear of
// the taskbar, otherwise it cascades from `main_frame`.
PixelPoint PlaceWindow(const platform::ui::SystemMetrics& metrics,
                       const platform::ui::PixelRect& window,
                       const platform::ui::PixelRect& main_frame, int open_pages);

}  // namespace zvrx
