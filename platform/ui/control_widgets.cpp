#include "platform/ui/control_widgets.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QTimer>

namespace zvrx::platform::ui {

void PageSurface::paintEvent(QPaintEvent* event) {
  QWidget::paintEvent(event);
  if (link_ && link_->owner) link_->owner->Painted();
}

void ModalSurface::keyPressEvent(QKeyEvent* event) {
  const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
  if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
    if (link_ && link_->owner) link_->owner->KeyEnter();
    return;
  }
  if (plain && event->key() == Qt::Key_Escape) {
    if (link_ && link_->owner) link_->owner->KeyEscape();
    return;
  }
  QDialog::keyPressEvent(event);
}

void ModalSurface::closeEvent(QCloseEvent* event) {
  // The window stays unless the events end it.
  event->ignore();
  if (link_ && link_->owner) link_->owner->CloseBox();
}

void ModalSurface::paintEvent(QPaintEvent* event) {
  QDialog::paintEvent(event);
  if (link_ && link_->owner) link_->owner->Painted();
}

void DropDownCombo::showPopup() {
  if (link_ && link_->owner) link_->owner->ComboDropped(id_, true);
  QComboBox::showPopup();
}

void DropDownCombo::hidePopup() {
  QComboBox::hidePopup();
  // Qt closes the list before it sets the picked item; the pick is to
  // arrive while the list still counts as dropped, so the close-up waits.
  if (!link_) return;
  QTimer::singleShot(0, link_, [link = link_, id = id_] {
    if (link && link->owner) link->owner->ComboDropped(id, false);
  });
}

void OwnerDrawButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const bool sunk = isDown() || isChecked();
  if (!image_.isNull()) {
    // A highlighted button shows its image a pixel down and right.
    const int shift = sunk ? 1 : 0;
    painter.drawPixmap(QRect(shift, shift, width(), height()), image_);
  }
  if (sunk) {
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
  }
}

}  // namespace zvrx::platform::ui
