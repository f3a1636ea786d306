#include "platform/ui/qt_text.h"

#include <QTimer>

namespace zvrx::platform::ui {

void PressWhenShown(std::function<void()> press) {
  // A zero timer fires from inside the modal loop, after the window is up.
  QTimer::singleShot(0, [press = std::move(press)] { press(); });
}

}  // namespace zvrx::platform::ui
