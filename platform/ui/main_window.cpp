#include "platform/ui/main_window.h"

#include <QCloseEvent>
#include <QWidget>

#include "platform/ui/qt_text.h"

namespace zvrx::platform::ui {

namespace {

class Window : public QWidget {
 public:
  explicit Window(std::function<void()> on_close) : on_close_(std::move(on_close)) {}

 protected:
  void closeEvent(QCloseEvent* event) override {
    event->ignore();  // the program decides how it ends
    if (on_close_) on_close_();
  }

 private:
  std::function<void()> on_close_;
};

}  // namespace

struct MainWindow::Impl {
  std::function<void()> on_close;
  std::unique_ptr<Window> window;
};

MainWindow::MainWindow(std::string_view title, bool minimised_visible,
                       std::function<void()> on_close)
    : impl_(std::make_unique<Impl>()) {
  impl_->on_close = std::move(on_close);
  impl_->window = std::make_unique<Window>([impl = impl_.get()] { impl->on_close(); });
  impl_->window->setWindowTitle(ToQt(title));
  if (minimised_visible) impl_->window->showMinimized();
  impl_->window->hide();
}

MainWindow::~MainWindow() = default;

// Called directly: a hidden widget may never see a close event.
void MainWindow::Close() {
  if (impl_->on_close) impl_->on_close();
}

}  // namespace zvrx::platform::ui
