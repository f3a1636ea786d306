#include "platform/ui/dialog.h"

#include <QDialog>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <map>

#include "platform/ui/qt_text.h"
#include "platform/ui/transcript.h"

namespace zvrx::platform::ui {

namespace {

constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr int kLetterCount = 52;

// MulDiv for the non-negative values of a layout: rounds to nearest.
int MulDiv(int value, int numerator, int denominator) {
  return (value * numerator + denominator / 2) / denominator;
}

QFont DialogFont(int font_points, std::string_view font_face) {
  QFont font(QString::fromStdString(std::string(font_face)));
  font.setPointSize(font_points);
  font.setStyleHint(QFont::SansSerif);
  return font;
}

class ModalDialog : public DialogContext {
 public:
  ModalDialog(const DialogTemplate& dialog, const DialogHandlers& handlers)
      : template_(dialog), handlers_(handlers) {
    const QFont font = DialogFont(dialog.font_points, dialog.font_face);
    const BaseUnits base = DialogBaseUnits(dialog.font_points, dialog.font_face);
    window_.setFont(font);
    window_.setWindowTitle(ToQt(dialog.caption));
    window_.setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    const PixelRect size = DialogUnitsToPixels(dialog.x, dialog.y, dialog.width, dialog.height, base);
    window_.setFixedSize(size.width, size.height);
    for (const ControlTemplate& control : dialog.controls) Build(control, base);
    Place(dialog, size);
  }

  int Run() {
    if (handlers_.init) handlers_.init(*this);
    WriteTranscript("dialog " + std::to_string(template_.id), template_.caption, Texts());
    std::optional<std::string> answer = NextScriptedAnswer();
    if (handlers_.shown || answer) {
      PressWhenShown([this, answer] {
        if (handlers_.shown) handlers_.shown(*this);
        if (answer) Press(ButtonIdOf(*answer));
      });
    }
    const int code = window_.exec();
    return ended_ ? result_ : (code == QDialog::Accepted ? kIdOk : kIdCancel);
  }

  void SetItemText(int id, std::string_view cp932) override {
    auto found = widgets_.find(id);
    if (found == widgets_.end()) return;
    if (auto* label = qobject_cast<QLabel*>(found->second)) label->setText(ToQt(cp932));
    if (auto* button = qobject_cast<QPushButton*>(found->second)) button->setText(ToQt(cp932));
    texts_[id] = std::string(cp932);
  }

  std::string GetItemText(int id) const override {
    auto found = texts_.find(id);
    return found == texts_.end() ? std::string() : found->second;
  }

  void EndDialog(int result) override {
    ended_ = true;
    result_ = result;
    window_.done(result == kIdOk ? QDialog::Accepted : QDialog::Rejected);
  }

  PixelRect ItemRect(int id) const override {
    const QWidget* widget = &window_;
    if (id != 0) {
      auto found = widgets_.find(id);
      if (found == widgets_.end()) return {};
      widget = found->second;
    }
    const QRect rect = id == 0 ? QRect(QPoint(0, 0), window_.size()) : widget->geometry();
    return {rect.x(), rect.y(), rect.width(), rect.height()};
  }

 private:
  void Build(const ControlTemplate& control, BaseUnits base) {
    QWidget* widget = nullptr;
    if (control.kind == ControlKind::kPushButton || control.kind == ControlKind::kDefPushButton) {
      auto* button = new QPushButton(ToQt(control.text), &window_);
      button->setDefault(control.kind == ControlKind::kDefPushButton);
      button->setAutoDefault(false);
      const int id = control.id;
      QObject::connect(button, &QPushButton::clicked, [this, id] { Press(id); });
      widget = button;
    } else {
      auto* label = new QLabel(ToQt(control.text), &window_);
      label->setTextFormat(Qt::PlainText);
      const Qt::Alignment horizontal = control.kind == ControlKind::kCenteredText ? Qt::AlignHCenter
                                       : control.kind == ControlKind::kRightText  ? Qt::AlignRight
                                                                                  : Qt::AlignLeft;
      label->setAlignment(horizontal | Qt::AlignTop);
      widget = label;
    }
    const PixelRect r = DialogUnitsToPixels(control.x, control.y, control.width, control.height, base);
    widget->setGeometry(r.x, r.y, r.width, r.height);
    widgets_[control.id] = widget;
    texts_[control.id] = control.text;
  }

  void Place(const DialogTemplate& dialog, const PixelRect& size) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (dialog.centered && screen != nullptr) {
      const QRect area = screen->availableGeometry();
      window_.move(area.x() + (area.width() - size.width) / 2,
                   area.y() + (area.height() - size.height) / 2);
    } else {
      window_.move(size.x, size.y);
    }
  }

  void Press(int id) {
    if (handlers_.command) {
      handlers_.command(*this, id);
    } else if (id == kIdOk || id == kIdCancel) {
      EndDialog(id);
    }
  }

  // The static texts, one per line, as the user reads them.
  std::string Texts() const {
    std::string text;
    for (const ControlTemplate& control : template_.controls) {
      if (control.kind == ControlKind::kPushButton || control.kind == ControlKind::kDefPushButton) {
        continue;
      }
      if (!text.empty()) text += '\n';
      text += GetItemText(control.id);
    }
    return text;
  }

  const DialogTemplate& template_;
  const DialogHandlers& handlers_;
  QDialog window_;
  std::map<int, QWidget*> widgets_;
  std::map<int, std::string> texts_;
  bool ended_ = false;
  int result_ = kIdCancel;
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
  ModalDialog modal(dialog, handlers);
  return modal.Run();
}

}  // namespace zvrx::platform::ui
