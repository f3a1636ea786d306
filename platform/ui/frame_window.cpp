#include "platform/ui/frame_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QIcon>
#include <QMenu>
#include <QMenuBar>

#include "platform/ui/qt_text.h"
#include "platform/ui/window_registry.h"

namespace zvrx::platform::ui {

namespace {

// The menu bar's own entry without text (id 65535) does nothing; a few
// spaces keep it visible as the empty item it is.
constexpr char kEmptyEntryText[] = "   ";

}  // namespace

void FrameSurface::closeEvent(QCloseEvent* event) {
  // The program decides whether the window goes.
  event->ignore();
  if (link_ && link_->owner) link_->owner->CloseBox();
}

void FrameSurface::paintEvent(QPaintEvent* event) {
  QMainWindow::paintEvent(event);
  if (link_ && link_->owner) link_->owner->Painted();
}

FrameWindow::FrameWindow(const FrameParams& params, FrameEvents& events)
    : window_class_(params.window_class), events_(events) {
  auto* link = new FrameLink;
  auto* window = new FrameSurface(link);
  link->setParent(window);
  link->owner = this;
  link_ = link;
  window_ = window;
  window->setObjectName(ToQt(params.window_class));
  window->setWindowTitle(ToQt(params.title));
  window->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                         Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  if (!params.icon_path.empty()) {
    window->setWindowIcon(QIcon(QString::fromStdString(params.icon_path)));
  }
  QPalette palette = window->palette();
  palette.setColor(QPalette::Window, FaceColour());
  palette.setColor(QPalette::Button, FaceColour());
  window->setPalette(palette);
  window->setAutoFillBackground(true);
  window->setFont(DialogFont(kDialogFontPoints, kDialogFontFace));
  // Activated, the frame itself has the focus until the program moves it,
  // as DefWindowProc gives it; Qt would focus the page's first control.
  window->setFocusPolicy(Qt::StrongFocus);
  window->setFocus(Qt::OtherFocusReason);
  auto* client = new QWidget(window);
  client->setAutoFillBackground(true);
  window->setCentralWidget(client);
  client_ = client;
  has_menu_ = params.menu != nullptr;
  if (params.menu != nullptr) {
    QMenuBar* bar = window->menuBar();
    for (size_t position = 0; position < params.menu->bar.size(); ++position) {
      const MenuItem& entry = params.menu->bar[position];
      if (entry.popup || !entry.items.empty()) {
        QMenu* menu = bar->addMenu(ToQt(entry.text));
        popups_[static_cast<int>(position)] = menu;
        const int at = static_cast<int>(position);
        QObject::connect(menu, &QMenu::aboutToShow, link, [link, at] {
          if (link->owner) link->owner->MenuPopup(at);
        });
        AddItems(menu, entry.items);
      } else if (entry.separator) {
        bar->addSeparator();
      } else {
        QAction* action = bar->addAction(entry.text.empty() ? QString(kEmptyEntryText)
                                                            : ToQt(entry.text));
        if (entry.text.empty()) continue;  // an empty entry does nothing
        const int id = entry.id;
        actions_[id] = action;
        QObject::connect(action, &QAction::triggered, link, [link, id] {
          if (link->owner) link->owner->Command(id, kFromMenu);
        });
      }
    }
  }
  content_width_ = std::max(0, params.width - 2 * kFrameBorder);
  content_height_ = std::max(0, params.height - kCaptionHeight - 2 * kFrameBorder);
  Fit();
  RegisterFrame(this);
  InstallKeyFilter();
}

FrameWindow::~FrameWindow() {
  UnregisterFrame(this);
  if (AcceleratorTarget() == this) SetAccelerators(nullptr, nullptr);
  if (link_) link_->owner = nullptr;
  if (window_) {
    window_->hide();
    // Qt may be inside one of the window's events now; it goes after it.
    window_->deleteLater();
  }
}

void FrameWindow::AddItems(QMenu* menu, const std::vector<MenuItem>& items) {
  FrameLink* link = link_;
  for (const MenuItem& item : items) {
    if (item.separator) {
      menu->addSeparator();
    } else if (item.popup || !item.items.empty()) {
      AddItems(menu->addMenu(ToQt(item.text)), item.items);
    } else {
      // Qt shows what follows a tab as the shortcut, as Windows does.
      QAction* action = menu->addAction(ToQt(item.text));
      const int id = item.id;
      actions_[id] = action;
      QObject::connect(action, &QAction::triggered, link, [link, id] {
        if (link->owner) link->owner->Command(id, kFromMenu);
      });
    }
  }
}

void FrameWindow::Fit() {
  if (!window_) return;
  const int menu = has_menu_ ? window_->menuBar()->sizeHint().height() : 0;
  const int width = std::max(content_width_, page_width_);
  const int height = std::max(content_height_, menu + page_height_);
  window_->setFixedSize(width, height);
}

void FrameWindow::AttachPage(int width, int height) {
  page_width_ = width;
  page_height_ = height;
  Fit();
}

void FrameWindow::Command(int id, int source) { events_.OnCommand(*this, id, source); }

void FrameWindow::MenuPopup(int position) { events_.OnMenuPopup(*this, position); }

void FrameWindow::CloseBox() { events_.OnClose(*this); }

void FrameWindow::Painted() { events_.OnPaint(*this); }

void FrameWindow::Enter() { events_.OnEnter(*this); }

void FrameWindow::Show() {
  if (window_) window_->show();
}

void FrameWindow::Hide() {
  if (window_) window_->hide();
}

bool FrameWindow::IsShown() const { return window_ && window_->isVisible(); }

void FrameWindow::Minimise() {
  if (window_) window_->showMinimized();
}

void FrameWindow::Restore() {
  if (window_) window_->showNormal();
}

bool FrameWindow::IsMinimised() const { return window_ && window_->isMinimized(); }

void FrameWindow::Focus() {
  if (!window_) return;
  window_->raise();
  window_->activateWindow();
}

PixelRect FrameWindow::Rect() const {
  if (!window_) return {};
  // The outer rectangle as Windows draws it, with a fixed border and
  // caption around the window's own, whatever a window manager adds.
  const QRect own = window_->geometry();
  return {own.x() - kFrameBorder, own.y() - kCaptionHeight - kFrameBorder,
          own.width() + 2 * kFrameBorder, own.height() + kCaptionHeight + 2 * kFrameBorder};
}

void FrameWindow::Move(int x, int y) {
  if (!window_) return;
  window_->setGeometry(x + kFrameBorder, y + kCaptionHeight + kFrameBorder, window_->width(),
                       window_->height());
}

void FrameWindow::EnableMenuItem(int id, bool enabled) {
  auto found = actions_.find(id);
  if (found != actions_.end() && found->second) found->second->setEnabled(enabled);
}

bool FrameWindow::IsMenuItemEnabled(int id) const {
  auto found = actions_.find(id);
  return found != actions_.end() && found->second && found->second->isEnabled();
}

void FrameWindow::Close() { events_.OnClose(*this); }

bool FrameWindow::SaveImage(std::string_view host_path) const {
  if (!window_) return false;
  return window_->grab().save(QString::fromStdString(std::string(host_path)), "PNG");
}

void FrameWindow::UserOpenMenu(int position) {
  if (popups_.count(position) != 0) MenuPopup(position);
}

void FrameWindow::UserMenuCommand(int id) {
  auto found = actions_.find(id);
  // A grey item does nothing, as for a person.
  if (found != actions_.end() && found->second) found->second->trigger();
}

}  // namespace zvrx::platform::ui
