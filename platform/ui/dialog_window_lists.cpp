// The drop-down lists, list boxes and scroll bars of a dialog: their
// notifications and their operations by id.
#include <QComboBox>
#include <QListWidget>
#include <QScrollBar>
#include <algorithm>

#include "platform/ui/dialog_window.h"
#include "platform/ui/qt_text.h"

namespace zvrx::platform::ui {

void DialogWindow::ComboDropped(int id, bool dropped) {
  Control* control = Find(id);
  if (control == nullptr) return;
  if (dropped) {
    if (control->dropped) return;
    QPointer<DialogLink> link = link_;
    events_.OnCommand(*this, id, kCbnDropDown);
    if (!Alive(link)) return;
    if (Control* again = Find(id)) again->dropped = true;
  } else {
    if (!control->dropped) return;
    control->dropped = false;
    events_.OnCommand(*this, id, kCbnCloseUp);
  }
}

void DialogWindow::ScrollAction(int id, int qt_action) {
  if (quiet_ > 0) return;  // the layer's own placing of the thumb
  auto* bar = WidgetOf<QScrollBar>(id);
  Control* control = Find(id);
  if (bar == nullptr || control == nullptr) return;
  int request = -1;
  int position = control->position;
  switch (qt_action) {
    case QAbstractSlider::SliderSingleStepAdd: request = kSbLineDown; break;
    case QAbstractSlider::SliderSingleStepSub: request = kSbLineUp; break;
    case QAbstractSlider::SliderPageStepAdd: request = kSbPageDown; break;
    case QAbstractSlider::SliderPageStepSub: request = kSbPageUp; break;
    case QAbstractSlider::SliderToMinimum: request = kSbTop; break;
    case QAbstractSlider::SliderToMaximum: request = kSbBottom; break;
    case QAbstractSlider::SliderMove:
      request = kSbThumbTrack;
      position = bar->sliderPosition();
      control->track = position;
      control->dragging = true;
      break;
    default: return;
  }
  // The bar stays where the page put it; the page moves it if it wants.
  ++quiet_;
  bar->setSliderPosition(control->position);
  --quiet_;
  QPointer<DialogLink> link = link_;
  events_.OnScroll(*this, id, request, position);
  if (!Alive(link)) return;
  if (Control* again = Find(id)) {
    ++quiet_;
    bar->setSliderPosition(again->position);
    --quiet_;
  }
}

void DialogWindow::ScrollReleased(int id) {
  auto* bar = WidgetOf<QScrollBar>(id);
  Control* control = Find(id);
  if (bar == nullptr || control == nullptr) return;
  QPointer<DialogLink> link = link_;
  if (control->dragging) {
    control->dragging = false;
    events_.OnScroll(*this, id, kSbThumbPosition, control->track);
    if (!Alive(link)) return;
  }
  events_.OnScroll(*this, id, kSbEndScroll, 0);
}

void DialogWindow::ComboReset(int id) {
  auto* combo = WidgetOf<QComboBox>(id);
  if (combo == nullptr) return;
  ++quiet_;
  combo->clear();
  --quiet_;
}

int DialogWindow::ComboAdd(int id, std::string_view cp932) {
  auto* combo = WidgetOf<QComboBox>(id);
  if (combo == nullptr) return -1;
  ++quiet_;
  const int selected = combo->currentIndex();
  combo->addItem(ToQt(cp932), QByteArray(cp932.data(), static_cast<qsizetype>(cp932.size())));
  // Adding selects nothing (Qt would select the first item).
  if (selected < 0) combo->setCurrentIndex(-1);
  --quiet_;
  return combo->count() - 1;
}

void DialogWindow::ComboSelect(int id, int index) {
  auto* combo = WidgetOf<QComboBox>(id);
  if (combo == nullptr) return;
  ++quiet_;
  combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
  --quiet_;
}

int DialogWindow::ComboSelection(int id) const {
  auto* combo = WidgetOf<QComboBox>(id);
  return combo == nullptr ? -1 : combo->currentIndex();
}

bool DialogWindow::ComboIsDroppedDown(int id) const {
  const Control* control = Find(id);
  return control != nullptr && control->dropped;
}

void DialogWindow::ComboShowDropDown(int id, bool shown) {
  auto* combo = WidgetOf<QComboBox>(id);
  if (combo == nullptr) return;
  if (shown) {
    combo->showPopup();
  } else {
    QPointer<DialogLink> link = link_;
    combo->hidePopup();
    if (Alive(link)) ComboDropped(id, false);
  }
}

void DialogWindow::ListReset(int id) {
  auto* list = WidgetOf<QListWidget>(id);
  if (list == nullptr) return;
  ++quiet_;
  list->clear();
  --quiet_;
}

int DialogWindow::ListAdd(int id, std::string_view cp932) { return ListInsert(id, -1, cp932); }

int DialogWindow::ListInsert(int id, int index, std::string_view cp932) {
  auto* list = WidgetOf<QListWidget>(id);
  if (list == nullptr) return -1;
  if (index < 0 || index > list->count()) index = list->count();
  auto* item = new QListWidgetItem(ToQt(cp932));
  item->setData(kItemBytesRole, QByteArray(cp932.data(), static_cast<qsizetype>(cp932.size())));
  ++quiet_;
  list->insertItem(index, item);
  --quiet_;
  return index;
}

void DialogWindow::ListDelete(int id, int index) {
  auto* list = WidgetOf<QListWidget>(id);
  if (list == nullptr || index < 0 || index >= list->count()) return;
  ++quiet_;
  delete list->takeItem(index);
  --quiet_;
}

int DialogWindow::ListCount(int id) const {
  auto* list = WidgetOf<QListWidget>(id);
  return list == nullptr ? 0 : list->count();
}

std::string DialogWindow::ListText(int id, int index) const {
  auto* list = WidgetOf<QListWidget>(id);
  if (list == nullptr || index < 0 || index >= list->count()) return {};
  return list->item(index)->data(kItemBytesRole).toByteArray().toStdString();
}

void DialogWindow::ListSelect(int id, int index) {
  auto* list = WidgetOf<QListWidget>(id);
  if (list == nullptr) return;
  ++quiet_;
  if (index < 0 || index >= list->count()) {
    list->clearSelection();
    list->setCurrentRow(-1);
  } else {
    list->setCurrentRow(index);
    list->scrollToItem(list->item(index));
  }
  --quiet_;
}

int DialogWindow::ListSelection(int id) const {
  auto* list = WidgetOf<QListWidget>(id);
  if (list == nullptr) return -1;
  const int row = list->currentRow();
  return row >= 0 && list->item(row)->isSelected() ? row : -1;
}

int DialogWindow::ListTopIndex(int id) const {
  auto* list = WidgetOf<QListWidget>(id);
  if (list == nullptr || list->count() == 0) return 0;
  const QModelIndex top = list->indexAt(QPoint(1, 1));
  return top.isValid() ? top.row() : list->verticalScrollBar()->value();
}

void DialogWindow::SetScrollRange(int id, int min, int max) {
  auto* bar = WidgetOf<QScrollBar>(id);
  Control* control = Find(id);
  if (bar == nullptr || control == nullptr) return;
  ++quiet_;
  bar->setRange(min, std::max(min, max));
  control->position = control->track = bar->value();
  --quiet_;
}

void DialogWindow::SetScrollPos(int id, int position) {
  auto* bar = WidgetOf<QScrollBar>(id);
  Control* control = Find(id);
  if (bar == nullptr || control == nullptr) return;
  ++quiet_;
  bar->setValue(position);
  bar->setSliderPosition(bar->value());
  control->position = control->track = bar->value();
  --quiet_;
}

int DialogWindow::ScrollPos(int id) const {
  const Control* control = Find(id);
  return control == nullptr ? 0 : control->position;
}

}  // namespace zvrx::platform::ui
