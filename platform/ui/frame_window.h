// Inside the window layer only: a top-level window with a menu bar and a
// client area that a page fills. The size is the Windows outer size less a
// fixed border and caption, grown when the menu bar and page need more.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <map>
#include <string>
#include <vector>

#include "platform/ui/window.h"

class QAction;
class QMenu;

namespace zvrx::platform::ui {

// Windows 98 measures, fixed so that layouts do not depend on the window
// manager: the sizing border, the caption, the menu bar and its buttons.
inline constexpr int kFrameBorder = 3;
inline constexpr int kCaptionHeight = 18;
inline constexpr int kMenuHeight = 19;
inline constexpr int kMenuButtonWidth = 18;

class FrameWindow;

// Puts the program's key filter (accelerators, Enter of frames) in place.
void InstallKeyFilter();

// As for dialogs: cleared when the frame object goes before its widgets.
class FrameLink : public QObject {
 public:
  FrameWindow* owner = nullptr;
};

class FrameSurface : public QMainWindow {
 public:
  explicit FrameSurface(FrameLink* link) : link_(link) {}

 protected:
  void closeEvent(QCloseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  QPointer<FrameLink> link_;
};

class FrameWindow final : public Frame {
 public:
  FrameWindow(const FrameParams& params, FrameEvents& events);
  ~FrameWindow() override;
  FrameWindow(const FrameWindow&) = delete;
  FrameWindow& operator=(const FrameWindow&) = delete;

  QWidget* window() const { return window_; }
  // Where a page goes: the area below the menu bar.
  QWidget* client() const { return client_; }
  FrameEvents& events() const { return events_; }
  // A page of `width` x `height` pixels now fills the client area.
  void AttachPage(int width, int height);

  // From the widgets and the key filter.
  void Command(int id, int source);
  void MenuPopup(int position);
  void CloseBox();
  void Painted();
  void Enter();

  const std::string& WindowClass() const override { return window_class_; }
  void Show() override;
  void Hide() override;
  bool IsShown() const override;
  void Minimise() override;
  void Restore() override;
  bool IsMinimised() const override;
  void Focus() override;
  PixelRect Rect() const override;
  void Move(int x, int y) override;
  void EnableMenuItem(int id, bool enabled) override;
  bool IsMenuItemEnabled(int id) const override;
  void Close() override;
  bool SaveImage(std::string_view host_path) const override;
  void UserOpenMenu(int position) override;
  void UserMenuCommand(int id) override;

 private:
  void AddItems(QMenu* menu, const std::vector<MenuItem>& items);
  void Fit();

  std::string window_class_;
  FrameEvents& events_;
  QPointer<FrameSurface> window_;
  QPointer<QWidget> client_;
  QPointer<FrameLink> link_;
  std::map<int, QPointer<QAction>> actions_;
  std::map<int, QPointer<QMenu>> popups_;  // by position on the menu bar
  int content_width_ = 0, content_height_ = 0;  // from the outer size
  int page_width_ = 0, page_height_ = 0;
  bool has_menu_ = false;
};

}  // namespace zvrx::platform::ui
