// Frame sizes and the placement of the main frame and the page cascade.
#include "settings/model/window_placement.h"

#include <gtest/gtest.h>

namespace zvrx {
namespace {

using platform::ui::PixelRect;
using platform::ui::SystemMetrics;

constexpr int kCaption = 18;
constexpr int kMenu = 19;

// A 1024 x 768 screen with the taskbar docked at the bottom.
SystemMetrics BottomTaskbar() {
  SystemMetrics m;
  m.screen_width = 1024;
  m.screen_height = 768;
  m.full_screen_width = 1024;
  m.full_screen_height = 768 - 28 - kCaption;
  m.caption_height = kCaption;
  m.menu_height = kMenu;
  m.menu_button_width = 18;
  m.tray = {900, 742, 120, 24};
  return m;
}

TEST(WindowSize, FrameFitsItsDialog) {
  const SystemMetrics m = BottomTaskbar();
  // The main frame's 195 units give 350 pixels of width.
  EXPECT_EQ(WindowSize(195, 188, true, m).width, 350);
  EXPECT_EQ(WindowSize(195, 188, true, m).height, kCaption + kMenu + 8 + 282);
  EXPECT_EQ(WindowSize(206, 160, false, m).width, 369);  // 360.5 rounds down
  EXPECT_EQ(WindowSize(239, 158, false, m).width, 427);

  // A tall menu bar wraps the main frame's menu into two rows; pages keep one.
  SystemMetrics tall = m;
  tall.menu_height = 23;
  EXPECT_EQ(WindowSize(195, 188, true, tall).height, kCaption + 2 * 23 + 8 + 282);
  EXPECT_EQ(WindowSize(195, 188, false, tall).height, kCaption + 23 + 8 + 282);
  tall.menu_height = 22;
  EXPECT_EQ(WindowSize(195, 188, true, tall).height, kCaption + 22 + 8 + 282);
}

TEST(PlaceWindow, MainFrameStartsClearOfTheTaskbar) {
  const PixelRect frame{0, 0, 350, 327};
  struct {
    const char* rule;
    SystemMetrics metrics;
    int x, y;
  } cases[] = {
      {"taskbar at the bottom", BottomTaskbar(), 20, 20},
      {"no taskbar at all", [] {
         SystemMetrics m = BottomTaskbar();
         m.full_screen_height = m.screen_height;
         m.tray = {};
         return m;
       }(), 20, 20},
      {"taskbar 60 pixels wide at the left edge", [] {
         SystemMetrics m = BottomTaskbar();
         m.full_screen_width = 1024 - 60;
         m.full_screen_height = 768 - kCaption;
         m.tray = {0, 700, 60, 60};
         return m;
       }(), 80, 20},
      {"taskbar at the top", [] {
         SystemMetrics m = BottomTaskbar();
         m.tray = {900, 2, 120, 24};
         return m;
       }(), 20, 28 + kCaption},
  };
  for (const auto& c : cases) {
    const auto place = PlaceWindow(c.metrics, frame, PixelRect{}, 0);
    EXPECT_EQ(place.x, c.x) << c.rule;
    EXPECT_EQ(place.y, c.y) << c.rule;
  }
}

TEST(PlaceWindow, PagesCascadeOverTheMainFrameWithinTheLimits) {
  const SystemMetrics m = BottomTaskbar();
  const PixelRect page{0, 0, 350, 327};
  const int step_down = kCaption + kMenu;
  const int bottom_limit = 768 - 2 * kCaption;
  const int right_limit = 1024 - 18;
  struct {
    const char* rule;
    PixelRect main_frame;
    int open_pages;
    int x, y;
  } cases[] = {
      {"the first page", {20, 20, 350, 327}, 1, 44, 20 + step_down},
      {"a fourth page with three open", {20, 20, 350, 327}, 4, 20 + 96, 20 + 4 * step_down},
      {"held above the bottom limit", {20, 400, 350, 327}, 2, 68, bottom_limit - 327},
      {"held left of the right limit", {800, 20, 350, 327}, 1, right_limit - 350,
       20 + step_down},
      {"a negative left edge becomes 0", {-200, 20, 350, 327}, 1, 0, 20 + step_down},
  };
  for (const auto& c : cases) {
    const auto place = PlaceWindow(m, page, c.main_frame, c.open_pages);
    EXPECT_EQ(place.x, c.x) << c.rule;
    EXPECT_EQ(place.y, c.y) << c.rule;
  }
}

}  // namespace
}  // namespace zvrx
