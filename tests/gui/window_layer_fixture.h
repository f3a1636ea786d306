// What the window-layer tests share: a page with one control of every kind
// in a frame with a menu, and event handlers that note what arrives.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "platform/cp932.h"
#include "platform/ui/window.h"
#include "tests/gui/gui_application.h"
#include "tests/support/sjis.h"

namespace zvrx::test {

namespace ui = platform::ui;

// Control ids of the page below.
enum : int {
  kLabel = 10, kCentred, kRight, kButton, kDefault, kEdit, kPassword, kGroup, kCheck, kAutoCheck,
  kRadio, kAutoRadio, kCombo, kList, kScroll, kPicture, kIcon, kFrameRule, kHidden, kDisabled
};

inline constexpr char kPageText[] = R"rc(# one of each
DIALOG 300 "" 0 0 195 188 CHILD
FONT 9 "IPAGothic"
GROUPBOX 17 "グループ" 2 2 190 180
LTEXT 10 "左" 5 5 40 8 NOWRAP
CTEXT 11 "中" 50 5 40 8
RTEXT 12 "右" 95 5 40 8 SUNKEN
PUSHBUTTON 13 "押す" 5 15 40 14
DEFPUSHBUTTON 14 "既定" 50 15 40 14
EDITTEXT 15 "" 5 32 100 12 AUTOHSCROLL
EDITTEXT 16 "" 5 46 100 12 PASSWORD READONLY
CHECKBOX 18 "手動" 5 60 40 10
AUTOCHECKBOX 19 "自動" 50 60 40 10
RADIOBUTTON 20 "手動" 5 72 40 10
AUTORADIOBUTTON 21 "自動" 50 72 40 10
COMBOBOX 22 "" 5 84 80 60 VSCROLL
LISTBOX 23 "" 100 84 60 40 NOTIFY
VSCROLLBAR 24 "" 170 20 10 60
OWNERDRAW 25 "" 5 130 14 11
ICON 26 "" 30 130 18 21
FRAME 27 "" 5 160 180 1 ETCHED
LTEXT -1 "名無し" 60 130 40 8
LTEXT -1 "名無し" 60 140 40 8
LTEXT 28 "隠れ" 100 130 40 8 HIDDEN
PUSHBUTTON 29 "灰色" 100 140 40 14 DISABLED
END
)rc";

inline constexpr char kMenuText[] = R"rc(MENU 120
  MENUITEM "" 65535
  POPUP "ﾌｧｲﾙ(&F)"
    MENUITEM "閉じる" 40012
  END
  POPUP "編集(&E)"
    MENUITEM "元に戻す\tCtrl+Z" 40008
    SEPARATOR
    MENUITEM "ｺﾋﾟｰ\tCtrl+C" 40009
  END
END
ACCELERATORS 128
  VIRTKEY 0x23 40017
  CHAR 3 40009
END
)rc";

struct Notification {
  int id;
  int code;
  bool operator==(const Notification&) const = default;
};

struct Scroll {
  int id;
  int request;
  int position;
  bool operator==(const Scroll&) const = default;
};

// Notes every event; optional reactions let a test act inside one.
class Recorder : public ui::DialogEvents {
 public:
  void OnInit(ui::Dialog&) override { ++inits; }
  void OnCommand(ui::Dialog& dialog, int id, int code) override {
    commands.push_back({id, code});
    if (on_command) on_command(dialog, id, code);
  }
  void OnScroll(ui::Dialog& dialog, int id, int request, int position) override {
    scrolls.push_back({id, request, position});
    if (on_scroll) on_scroll(dialog, id, request, position);
  }
  void OnPaint(ui::Dialog&) override { ++paints; }
  void OnTimer(ui::Dialog& dialog, int timer_id) override {
    timers.push_back(timer_id);
    if (on_timer) on_timer(dialog, timer_id);
  }

  int inits = 0;
  int paints = 0;
  std::vector<Notification> commands;
  std::vector<Scroll> scrolls;
  std::vector<int> timers;
  std::function<void(ui::Dialog&, int, int)> on_command;
  std::function<void(ui::Dialog&, int, int, int)> on_scroll;
  std::function<void(ui::Dialog&, int)> on_timer;
};

class FrameRecorder : public ui::FrameEvents {
 public:
  void OnCommand(ui::Frame& frame, int id, int source) override {
    commands.push_back({id, source});
    if (on_command) on_command(frame, id, source);
  }
  void OnMenuPopup(ui::Frame&, int position) override { popups.push_back(position); }
  void OnClose(ui::Frame& frame) override {
    ++closes;
    if (on_close) on_close(frame);
  }
  void OnEnter(ui::Frame&) override { ++enters; }

  std::vector<Notification> commands;  // id and source
  std::vector<int> popups;
  int closes = 0;
  int enters = 0;
  std::function<void(ui::Frame&, int, int)> on_command;
  std::function<void(ui::Frame&)> on_close;
};

class WindowLayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    GuiApplication();
    std::string error;
    ASSERT_TRUE(ui::ParseDialogTemplates(kPageText, templates_, &error)) << error;
    ASSERT_TRUE(ui::ParseMenus(kMenuText, menus_, accelerators_, &error)) << error;
  }
  void TearDown() override {
    ui::SetAccelerators(nullptr, nullptr);
    page_.reset();
    frame_.reset();
  }

  // The page in its frame, shown.
  ui::Dialog& OpenPage() {
    ui::FrameParams params;
    params.window_class = "TestFrame";
    params.title = Sjis("試験");
    params.menu = &menus_[0];
    params.width = 400;
    params.height = 300;
    frame_ = ui::CreateFrame(params, frame_events_);
    page_ = ui::CreatePage(templates_[0], *frame_, events_);
    frame_->Show();
    return *page_;
  }

  std::vector<ui::DialogTemplate> templates_;
  std::vector<ui::MenuTemplate> menus_;
  std::vector<ui::AcceleratorTable> accelerators_;
  Recorder events_;
  FrameRecorder frame_events_;
  std::unique_ptr<ui::Frame> frame_;
  std::unique_ptr<ui::Dialog> page_;
};

}  // namespace zvrx::test
