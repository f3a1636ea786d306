#include "platform/ui/message_box.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>
#include <map>

#include "platform/ui/qt_text.h"

namespace zvrx::platform::ui {

namespace {

constexpr unsigned kButtonBits = 0xF;
constexpr unsigned kIconBits = 0xF0;

QMessageBox::Icon IconOf(unsigned style) {
  switch (style & kIconBits) {
    case kMbIconStop: return QMessageBox::Critical;
    case kMbIconQuestion: return QMessageBox::Question;
    case kMbIconExclamation: return QMessageBox::Warning;
    case kMbIconInformation: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
  }
}

}  // namespace

int MessageBox(std::string_view text, std::string_view caption, unsigned style) {
  QMessageBox box;
  box.setWindowTitle(ToQt(caption));
  box.setText(ToQt(text));
  box.setIcon(IconOf(style));
  std::map<QAbstractButton*, int> ids;
  auto add = [&](QMessageBox::StandardButton button, int id) {
    ids[box.addButton(button)] = id;
  };
  switch (style & kButtonBits) {
    case kMbOkCancel: add(QMessageBox::Ok, kIdOk); add(QMessageBox::Cancel, kIdCancel); break;
    case kMbYesNoCancel:
      add(QMessageBox::Yes, kIdYes); add(QMessageBox::No, kIdNo); add(QMessageBox::Cancel, kIdCancel);
      break;
    case kMbYesNo: add(QMessageBox::Yes, kIdYes); add(QMessageBox::No, kIdNo); break;
    default: add(QMessageBox::Ok, kIdOk);
  }
  if (style & kMbDefButton2) {
    // Enter presses the second button (Cancel of OK/Cancel) unless the user
    // picks the other.
    for (const auto& [button, id] : ids) {
      if (id == ((style & kButtonBits) == kMbOkCancel ? kIdCancel : kIdNo)) {
        box.setDefaultButton(qobject_cast<QPushButton*>(button));
      }
    }
  }
  if (style & kMbSystemModal) {
    // Nothing above an application is modal here; stay on top instead.
    box.setWindowModality(Qt::ApplicationModal);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
  }
  WriteTranscript("messagebox", caption, text);
  if (auto answer = NextScriptedAnswer()) {
    const int wanted = ButtonIdOf(*answer);
    PressWhenShown([&box, &ids, wanted] {
      for (const auto& [button, id] : ids) {
        if (id == wanted) return button->click();
      }
      box.reject();  // a button the box does not have: as if closed
    });
  }
  box.exec();
  auto pressed = ids.find(box.clickedButton());
  if (pressed != ids.end()) return pressed->second;
  // Closed without a button (Esc, the loop ended): the cancel or only button.
  if (ids.size() == 1) return ids.begin()->second;
  for (const auto& [button, id] : ids) {
    if (id == kIdCancel) return id;
  }
  return kIdNo;
}

}  // namespace zvrx::platform::ui
