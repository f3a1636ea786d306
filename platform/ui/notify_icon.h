// The notification-area icon (Shell_NotifyIcon) with its double-click, the
// state of Ctrl, and whether there is a taskbar at all: no system tray
// means no taskbar.
#pragma once

#include <functional>
#include <memory>
#include <string_view>

namespace zvrx::platform::ui {

// FindWindow("Shell_TrayWnd"): is there a tray to put icons in?
bool TaskbarPresent();

// GetAsyncKeyState(VK_CONTROL): is Ctrl held now?
bool CtrlHeld();

// The longest tip, terminator included.
inline constexpr int kTipSize = 64;

class NotifyIcon {
 public:
  NotifyIcon();
  ~NotifyIcon();  // removes the icon
  NotifyIcon(const NotifyIcon&) = delete;
  NotifyIcon& operator=(const NotifyIcon&) = delete;

  // Shows the icon from an image file (a host or resource path) with a CP932
  // tip cut to kTipSize - 1 bytes. Only a double-click calls back; single
  // clicks and the context menu do nothing. False without a tray.
  bool Add(std::string_view image_path, std::string_view tip, std::function<void()> on_double_click);
  void Remove();
  bool shown() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The tip as it is stored: at most kTipSize - 1 bytes, never half a
// double-byte character.
std::string CutTip(std::string_view tip);

}  // namespace zvrx::platform::ui
