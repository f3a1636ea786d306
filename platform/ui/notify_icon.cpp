#include "platform/ui/notify_icon.h"

#include <QGuiApplication>
#include <QIcon>
#include <QSystemTrayIcon>
#include <string>

#include "platform/ui/qt_text.h"

namespace zvrx::platform::ui {

bool TaskbarPresent() { return QSystemTrayIcon::isSystemTrayAvailable(); }

bool CtrlHeld() {
  return (QGuiApplication::queryKeyboardModifiers() & Qt::ControlModifier) != 0;
}

std::string CutTip(std::string_view tip) {
  size_t end = 0;
  while (end < tip.size()) {
    const size_t step = IsCp932LeadByte(static_cast<unsigned char>(tip[end])) ? 2 : 1;
    if (end + step > static_cast<size_t>(kTipSize - 1) || end + step > tip.size()) break;
    end += step;
  }
  return std::string(tip.substr(0, end));
}

struct NotifyIcon::Impl {
  std::unique_ptr<QSystemTrayIcon> icon;
};

NotifyIcon::NotifyIcon() : impl_(std::make_unique<Impl>()) {}

NotifyIcon::~NotifyIcon() { Remove(); }

bool NotifyIcon::Add(std::string_view image_path, std::string_view tip,
                     std::function<void()> on_double_click) {
  Remove();
  if (!TaskbarPresent()) return false;
  impl_->icon = std::make_unique<QSystemTrayIcon>(
      QIcon(QString::fromStdString(std::string(image_path))));
  impl_->icon->setToolTip(ToQt(CutTip(tip)));
  QObject::connect(impl_->icon.get(), &QSystemTrayIcon::activated,
                   [on_double_click = std::move(on_double_click)](
                       QSystemTrayIcon::ActivationReason reason) {
                     if (reason == QSystemTrayIcon::DoubleClick) on_double_click();
                   });
  impl_->icon->show();
  return true;
}

void NotifyIcon::Remove() {
  if (!impl_->icon) return;
  impl_->icon->hide();
  // Later: the removal may come from the icon's own double-click.
  impl_->icon.release()->deleteLater();
}

bool NotifyIcon::shown() const { return impl_->icon != nullptr; }

}  // namespace zvrx::platform::ui
