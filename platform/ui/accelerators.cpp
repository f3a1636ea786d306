// TranslateAccelerator and the Enter key of frames: one filter on every key
// press of the program, ahead of the focused control.
#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QPointer>

#include "platform/ui/frame_window.h"
#include "platform/ui/window.h"
#include "platform/ui/window_registry.h"

namespace zvrx::platform::ui {

namespace {

// Windows virtual-key codes and the Qt keys they stand for.
constexpr struct {
  int virtual_key;
  int qt_key;
} kVirtualKeys[] = {
    {0x08, Qt::Key_Backspace}, {0x09, Qt::Key_Tab},      {0x0D, Qt::Key_Return},
    {0x1B, Qt::Key_Escape},    {0x20, Qt::Key_Space},    {0x21, Qt::Key_PageUp},
    {0x22, Qt::Key_PageDown},  {0x23, Qt::Key_End},      {0x24, Qt::Key_Home},
    {0x25, Qt::Key_Left},      {0x26, Qt::Key_Up},       {0x27, Qt::Key_Right},
    {0x28, Qt::Key_Down},      {0x2D, Qt::Key_Insert},   {0x2E, Qt::Key_Delete},
};

int VirtualKeyOf(int qt_key) {
  if (qt_key >= Qt::Key_0 && qt_key <= Qt::Key_9) return 0x30 + (qt_key - Qt::Key_0);
  if (qt_key >= Qt::Key_A && qt_key <= Qt::Key_Z) return 0x41 + (qt_key - Qt::Key_A);
  if (qt_key >= Qt::Key_F1 && qt_key <= Qt::Key_F24) return 0x70 + (qt_key - Qt::Key_F1);
  if (qt_key == Qt::Key_Enter) return 0x0D;
  for (const auto& entry : kVirtualKeys) {
    if (entry.qt_key == qt_key) return entry.virtual_key;
  }
  return 0;
}

// The command of a key press in `table`, or 0.
int CommandOf(const AcceleratorTable& table, const QKeyEvent& key) {
  const Qt::KeyboardModifiers modifiers = key.modifiers() & ~Qt::KeypadModifier;
  const int virtual_key = VirtualKeyOf(key.key());
  const bool ctrl_letter = (modifiers & Qt::ControlModifier) && !(modifiers & Qt::AltModifier) &&
                           key.key() >= Qt::Key_A && key.key() <= Qt::Key_Z;
  for (const Accelerator& entry : table.entries) {
    if (entry.kind == AcceleratorKind::kVirtualKey) {
      if (modifiers == Qt::NoModifier && virtual_key != 0 && entry.key == virtual_key) {
        return entry.command;
      }
    } else if (ctrl_letter && entry.key == key.key() - Qt::Key_A + 1) {
      return entry.command;
    }
  }
  return 0;
}

class KeyFilter : public QObject {
 public:
  const AcceleratorTable* table = nullptr;
  QPointer<QObject> target_alive;  // the target frame's window
  FrameWindow* target = nullptr;

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) return false;
    // A modal dialog or an open menu or list takes its keys itself.
    if (QApplication::activeModalWidget() != nullptr ||
        QApplication::activePopupWidget() != nullptr) {
      return false;
    }
    auto* key = static_cast<QKeyEvent*>(event);
    if (table != nullptr && target != nullptr && target_alive) {
      if (const int command = CommandOf(*table, *key)) {
        target->events().OnCommand(*target, command, kFromAccelerator);
        return true;
      }
    }
    const bool plain = (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (plain && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
      FrameWindow* frame = FrameOfWidget(static_cast<QWidget*>(watched));
      if (frame == nullptr) return false;
      // On a push button Enter presses it; elsewhere it is the frame's.
      if (auto* button = qobject_cast<QAbstractButton*>(watched);
          button != nullptr && button->inherits("QPushButton")) {
        button->click();
      } else {
        frame->Enter();
      }
      return true;
    }
    return false;
  }
};

KeyFilter& Filter() {
  // One per process, like the message loop it sits in.
  static KeyFilter* filter = [] {
    auto* made = new KeyFilter;
    if (QCoreApplication::instance() != nullptr) QCoreApplication::instance()->installEventFilter(made);
    return made;
  }();
  return *filter;
}

}  // namespace

void InstallKeyFilter() { Filter(); }

void SetAccelerators(const AcceleratorTable* table, Frame* target) {
  KeyFilter& filter = Filter();
  filter.table = target != nullptr ? table : nullptr;
  auto* frame = table != nullptr ? dynamic_cast<FrameWindow*>(target) : nullptr;
  filter.target = frame;
  filter.target_alive = frame != nullptr ? frame->window() : nullptr;
}

Frame* AcceleratorTarget() {
  KeyFilter& filter = Filter();
  return filter.target_alive ? filter.target : nullptr;
}

}  // namespace zvrx::platform::ui
