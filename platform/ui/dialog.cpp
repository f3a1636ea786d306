#include "platform/ui/dialog.h"

#include <QDialog>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <map>

#include "platform/ui/application.h"
#include "platform/ui/qt_text.h"
#include "platform/ui/transcript.h"
#include "platform/ui/window.h"

namespace zvrx::platform::ui {

QFont DialogFont(int font_points, std::string_view font_face) {
  QFont font(QString::fromStdString(std::string(font_face)));
  font.setPointSize(font_points);
  font.setStyleHint(QFont::SansSerif);
  return font;
}

namespace {

constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr int kLetterCount = 52;

// MulDiv for the non-negative values of a layout: rounds to nearest.
int MulDiv(int value, int numerator, int denominator) {
  return (value * numerator + denominator / 2) / denominator;
}

// The handlers of a template dialog as its events.
class HandlerEvents : public DialogEvents {
 public:
  explicit HandlerEvents(const DialogHandlers& handlers) : handlers_(handlers) {}
  void OnInit(Dialog& dialog) override {
    if (handlers_.init) handlers_.init(dialog);
  }
  void OnCommand(Dialog& dialog, int id, int code) override {
    if (code != kBnClicked) return;
    if (handlers_.command) {
      handlers_.command(dialog, id);
    } else if (id == kIdOk || id == kIdCancel) {
      dialog.EndDialog(id);
    }
  }

 private:
  const DialogHandlers& handlers_;
};

}  // namespace

BaseUnits DialogBaseUnits(int font_points, std::string_view font_face) {
  const QFontMetrics metrics(DialogFont(font_points, font_face));
  // averageCharWidth() would take the CJK glyphs and double every dialog.
  const int letters = metrics.horizontalAdvance(QString::fromLatin1(kLetters, kLetterCount));
  return {(letters / 26 + 1) / 2, metrics.height()};
}

PixelRect DialogUnitsToPixels(int x, int y, int width, int height, BaseUnits base) {
  return {MulDiv(x, base.x, 4), MulDiv(y, base.y, 8), MulDiv(width, base.x, 4),
          MulDiv(height, base.y, 8)};
}

int DoModalDialog(const DialogTemplate& dialog, const DialogHandlers& handlers) {
  HandlerEvents events(handlers);
  if (!handlers.shown) return RunModal(dialog, events, ModalOptions());
  int result = kIdCancel;
  // On the main thread, where the observer is read.
  RunOnMainThread([&] {
    // The handler's look comes before any observer a test has set.
    const std::function<void(Dialog&)> observer = ModalObserver();
    SetModalObserver([&handlers, observer](Dialog& dialog) {
      handlers.shown(dialog);
      if (observer) observer(dialog);
    });
    result = RunModal(dialog, events, ModalOptions());
    SetModalObserver(observer);
  });
  return result;
}

}  // namespace zvrx::platform::ui
