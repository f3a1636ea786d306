#include "platform/ui/dialog_window.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <type_traits>

#include "platform/ui/control_widgets.h"
#include "platform/ui/cp932_offsets.h"
#include "platform/ui/qt_text.h"
#include "platform/ui/window_registry.h"

namespace zvrx::platform::ui {

namespace {

// A stock icon is drawn at the size Windows draws icons.
constexpr int kIconPixels = 32;

QScrollBar* ScrollBarOf(QObject* object) { return qobject_cast<QScrollBar*>(object); }

// Every widget signal reaches its dialog through here: the dialog may have
// gone while Qt still delivers. `action` takes the dialog and, where it
// wants them, the signal's arguments.
template <typename Sender, typename Signal, typename Action>
void Forward(Sender* sender, Signal signal, DialogLink* link, Action action) {
  QObject::connect(sender, signal, link, [link, action](auto... args) {
    if (link->owner == nullptr) return;
    if constexpr (std::is_invocable_v<Action, DialogWindow&, decltype(args)...>) {
      action(*link->owner, args...);
    } else {
      action(*link->owner);
    }
  });
}

// A signal as the notification `code` of control `id`.
template <typename Sender, typename Signal>
void ForwardNotify(Sender* sender, Signal signal, DialogLink* link, int id, int code) {
  Forward(sender, signal, link, [id, code](DialogWindow& owner) { owner.Notify(id, code); });
}

// What building one control needs: its template line, its text for Qt,
// the dialog's surface and link.
struct ControlSite {
  const ControlTemplate& control;
  const QString& text;
  QWidget* root;
  DialogLink* link;
};

QWidget* MakeText(const ControlSite& site) {
  const ControlTemplate& control = site.control;
  auto* label = new QLabel(site.text, site.root);
  label->setTextFormat(Qt::PlainText);
  const Qt::Alignment horizontal = control.kind == ControlKind::kCenteredText ? Qt::AlignHCenter
                                   : control.kind == ControlKind::kRightText  ? Qt::AlignRight
                                                                              : Qt::AlignLeft;
  label->setAlignment(horizontal | Qt::AlignTop);
  label->setWordWrap((control.flags & kControlNoWrap) == 0);
  if (control.flags & kControlSunken) label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  return label;
}

// Any button: a click is BN_CLICKED.
QWidget* Clickable(const ControlSite& site, QAbstractButton* button) {
  ForwardNotify(button, &QAbstractButton::clicked, site.link, site.control.id, kBnClicked);
  return button;
}

QWidget* MakePushButton(const ControlSite& site) {
  auto* button = new QPushButton(site.text, site.root);
  button->setDefault(site.control.kind == ControlKind::kDefPushButton);
  button->setAutoDefault(false);
  return Clickable(site, button);
}

QWidget* MakeCheckBox(const ControlSite& site) {
  if (site.control.kind == ControlKind::kCheckBox) {
    return Clickable(site, new ManualCheckBox(site.text, site.root));
  }
  return Clickable(site, new QCheckBox(site.text, site.root));
}

QWidget* MakeRadioButton(const ControlSite& site) {
  if (site.control.kind == ControlKind::kRadioButton) {
    auto* radio = new ManualRadioButton(site.text, site.root);
    radio->setAutoExclusive(false);
    return Clickable(site, radio);
  }
  return Clickable(site, new QRadioButton(site.text, site.root));
}

QWidget* MakeOwnerDraw(const ControlSite& site) {
  return Clickable(site, new OwnerDrawButton(site.root));
}

// A text box of many lines (the installer's licence text).
QWidget* MakeTextBox(const ControlSite& site) {
  const int flags = site.control.flags;
  auto* box = new QPlainTextEdit(site.root);
  box->setPlainText(QString(site.text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
  box->setReadOnly((flags & kControlReadOnly) != 0);
  box->setContextMenuPolicy(Qt::NoContextMenu);
  box->setVerticalScrollBarPolicy((flags & kControlVScroll) ? Qt::ScrollBarAlwaysOn
                                                            : Qt::ScrollBarAlwaysOff);
  box->installEventFilter(site.link);
  return box;
}

QWidget* MakeEdit(const ControlSite& site) {
  const int flags = site.control.flags;
  if (flags & kControlMultiline) return MakeTextBox(site);
  auto* edit = new QLineEdit(site.text, site.root);
  edit->setFrame(true);
  edit->setContextMenuPolicy(Qt::NoContextMenu);  // the page's Edit menu acts instead
  if (flags & kControlPassword) edit->setEchoMode(QLineEdit::Password);
  if (flags & kControlReadOnly) edit->setReadOnly(true);
  const int id = site.control.id;
  Forward(edit, &QLineEdit::textChanged, site.link,
          [id](DialogWindow& owner) { owner.EditChanged(id); });
  edit->installEventFilter(site.link);
  return edit;
}

QWidget* MakeGroupBox(const ControlSite& site) { return new QGroupBox(site.text, site.root); }

QWidget* MakeComboBox(const ControlSite& site) {
  auto* combo = new DropDownCombo(site.link, site.control.id, site.root);
  combo->setEditable(false);
  ForwardNotify(combo, &QComboBox::currentIndexChanged, site.link, site.control.id,
                kCbnSelChange);
  return combo;
}

QWidget* MakeListBox(const ControlSite& site) {
  auto* list = new QListWidget(site.root);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setSortingEnabled(false);
  list->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  list->setUniformItemSizes(true);
  ForwardNotify(list, &QListWidget::currentRowChanged, site.link, site.control.id, kLbnSelChange);
  ForwardNotify(list, &QListWidget::itemDoubleClicked, site.link, site.control.id, kLbnDblClk);
  list->installEventFilter(site.link);
  return list;
}

QWidget* MakeScrollBar(const ControlSite& site) {
  auto* bar = new QScrollBar(Qt::Vertical, site.root);
  bar->setFocusPolicy(Qt::NoFocus);
  bar->setRange(0, 0);
  const int id = site.control.id;
  Forward(bar, &QAbstractSlider::actionTriggered, site.link,
          [id](DialogWindow& owner, int action) { owner.ScrollAction(id, action); });
  Forward(bar, &QAbstractSlider::sliderReleased, site.link,
          [id](DialogWindow& owner) { owner.ScrollReleased(id); });
  bar->installEventFilter(site.link);
  return bar;
}

QWidget* MakeIcon(const ControlSite& site) {
  auto* label = new QLabel(site.root);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  return label;
}

QWidget* MakeFrame(const ControlSite& site) {
  const int flags = site.control.flags;
  auto* frame = new QFrame(site.root);
  if (flags & kControlSunken) {
    frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  } else if (flags & kControlEtched) {
    frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
  } else {
    frame->setFrameStyle(QFrame::Box | QFrame::Plain);
  }
  return frame;
}

QWidget* MakeControl(const ControlSite& site) {
  switch (site.control.kind) {
    case ControlKind::kLeftText:
    case ControlKind::kCenteredText:
    case ControlKind::kRightText: return MakeText(site);
    case ControlKind::kPushButton:
    case ControlKind::kDefPushButton: return MakePushButton(site);
    case ControlKind::kCheckBox:
    case ControlKind::kAutoCheckBox: return MakeCheckBox(site);
    case ControlKind::kRadioButton:
    case ControlKind::kAutoRadioButton: return MakeRadioButton(site);
    case ControlKind::kOwnerDraw: return MakeOwnerDraw(site);
    case ControlKind::kEdit: return MakeEdit(site);
    case ControlKind::kGroupBox: return MakeGroupBox(site);
    case ControlKind::kComboBox: return MakeComboBox(site);
    case ControlKind::kListBox: return MakeListBox(site);
    case ControlKind::kVScrollBar: return MakeScrollBar(site);
    case ControlKind::kIcon: return MakeIcon(site);
    case ControlKind::kFrame: return MakeFrame(site);
  }
  return MakeFrame(site);  // not reached: the parser knows no other kind
}

}  // namespace

bool DialogLink::eventFilter(QObject* watched, QEvent* event) {
  if (owner == nullptr) return false;
  const int id = watched->property("zvrx_id").toInt();
  const auto kind = static_cast<ControlKind>(watched->property("zvrx_kind").toInt());
  switch (event->type()) {
    case QEvent::FocusIn:
      if (kind == ControlKind::kEdit) owner->Notify(id, kEnSetFocus);
      if (kind == ControlKind::kListBox) owner->Notify(id, kLbnSetFocus);
      break;
    case QEvent::FocusOut:
      if (kind == ControlKind::kEdit) owner->Notify(id, kEnKillFocus);
      if (kind == ControlKind::kListBox) owner->Notify(id, kLbnKillFocus);
      break;
    case QEvent::MouseButtonRelease:
      // A drag ends through sliderReleased; arrows and the shaft end here.
      if (QScrollBar* bar = ScrollBarOf(watched); bar != nullptr && !bar->isSliderDown()) {
        owner->ScrollReleased(id);
      }
      break;
    default: break;
  }
  return false;
}

DialogWindow::DialogWindow(const DialogTemplate& dialog, DialogEvents& events,
                           QWidget* page_parent)
    : template_(dialog), events_(events) {
  auto* link = new DialogLink;
  QWidget* root = nullptr;
  if (page_parent != nullptr) {
    root = new PageSurface(link, page_parent);
  } else {
    root = new ModalSurface(link);
  }
  link->setParent(root);
  link->owner = this;
  link_ = link;
  root_ = root;
  root->setFont(DialogFont(dialog.font_points, dialog.font_face));
  QPalette palette = root->palette();
  palette.setColor(QPalette::Window, FaceColour());
  palette.setColor(QPalette::Button, FaceColour());
  root->setPalette(palette);
  root->setAutoFillBackground(true);
  const BaseUnits base = DialogBaseUnits(dialog.font_points, dialog.font_face);
  const PixelRect size = DialogUnitsToPixels(dialog.x, dialog.y, dialog.width, dialog.height, base);
  root->setFixedSize(size.width, size.height);
  ++quiet_;
  for (const ControlTemplate& control : dialog.controls) Build(control, base);
  --quiet_;
  RegisterDialog(this);
}

DialogWindow::~DialogWindow() {
  UnregisterDialog(this);
  for (auto& [id, timer] : timers_) {
    if (timer) timer->stop();
  }
  if (link_) link_->owner = nullptr;
  if (root_) {
    root_->hide();
    // Qt may be inside one of the widgets' events now; they go after it.
    root_->deleteLater();
  }
}

QDialog* DialogWindow::modal() const { return qobject_cast<QDialog*>(root_.data()); }

void DialogWindow::Build(const ControlTemplate& control, BaseUnits base) {
  QWidget* root = root_;
  const int id = control.id;
  const QString text = ToQt(control.text);
  QWidget* widget = MakeControl({control, text, root, link_});
  PixelRect r = DialogUnitsToPixels(control.x, control.y, control.width, control.height, base);
  if (control.kind == ControlKind::kComboBox) {
    // The template's height includes the dropped list; closed, it is one line.
    auto* combo = static_cast<QComboBox*>(widget);
    const int closed = std::min(r.height, combo->sizeHint().height());
    const int item = std::max(1, QFontMetrics(root->font()).height());
    combo->setMaxVisibleItems(std::max(1, (r.height - closed) / item));
    r.height = closed;
  }
  widget->setGeometry(r.x, r.y, r.width, r.height);
  if (control.kind == ControlKind::kGroupBox) widget->lower();
  widget->setProperty("zvrx_id", id);
  widget->setProperty("zvrx_kind", static_cast<int>(control.kind));
  if (control.flags & kControlHidden) widget->hide();
  if (control.flags & kControlDisabled) widget->setEnabled(false);
  if (id == -1 || controls_.count(id) != 0) return;  // GetDlgItem finds the first
  Control& entry = controls_[id];
  entry.kind = control.kind;
  entry.widget = widget;
  entry.text = control.text;
  entry.shown = text;
}

DialogWindow::Control* DialogWindow::Find(int id) {
  auto found = controls_.find(id);
  return found == controls_.end() || !found->second.widget ? nullptr : &found->second;
}

const DialogWindow::Control* DialogWindow::Find(int id) const {
  auto found = controls_.find(id);
  return found == controls_.end() || !found->second.widget ? nullptr : &found->second;
}

std::string DialogWindow::StaticTexts() const {
  std::string text;
  bool first = true;
  for (const ControlTemplate& control : template_.controls) {
    if (!IsStaticText(control.kind)) continue;
    if (!first) text += '\n';
    first = false;
    const Control* entry = control.id == -1 ? nullptr : Find(control.id);
    text += entry != nullptr ? entry->text : control.text;
  }
  return text;
}

int DialogWindow::EnterId() const {
  const int focused = FocusedItem();
  if (const Control* control = Find(focused);
      control != nullptr && (control->kind == ControlKind::kPushButton ||
                             control->kind == ControlKind::kDefPushButton)) {
    return focused;
  }
  for (const ControlTemplate& control : template_.controls) {
    if (control.kind == ControlKind::kDefPushButton) return control.id;
  }
  return kIdOk;
}

void DialogWindow::Notify(int id, int code) {
  if (quiet_ > 0) return;
  events_.OnCommand(*this, id, code);
}

void DialogWindow::EditChanged(int id) {
  if (quiet_ > 0) return;
  Control* control = Find(id);
  auto* edit = WidgetOf<QLineEdit>(id);
  if (control == nullptr || edit == nullptr) return;
  QString now = edit->text();
  bool cut = false;
  if (control->limit > 0 && Cp932Size(now) > control->limit) {
    int cursor = 0;
    now = FitInsertion(control->shown, now, control->limit, cursor);
    ++quiet_;
    edit->setText(now);
    edit->setCursorPosition(cursor);
    --quiet_;
    cut = true;
  }
  QPointer<DialogLink> link = link_;
  if (cut) {
    events_.OnCommand(*this, id, kEnMaxText);
    if (!Alive(link)) return;
    if (now == control->shown) return;  // nothing fitted: the edit stays as it was
  }
  control->undo_text = control->shown;
  control->can_undo = true;
  control->shown = now;
  control->text = FromQt(now);
  control->modified = true;
  events_.OnCommand(*this, id, kEnUpdate);
  if (!Alive(link)) return;
  events_.OnCommand(*this, id, kEnChange);
}

void DialogWindow::Painted() { events_.OnPaint(*this); }

void DialogWindow::Timer(int timer_id) { events_.OnTimer(*this, timer_id); }

void DialogWindow::CloseBox() { events_.OnClose(*this); }

void DialogWindow::KeyEnter() { events_.OnCommand(*this, EnterId(), kBnClicked); }

void DialogWindow::KeyEscape() { events_.OnCommand(*this, kIdCancel, kBnClicked); }

void DialogWindow::SetCaption(std::string_view cp932) {
  if (root_) root_->setWindowTitle(ToQt(cp932));
}

void DialogWindow::SetEditShown(Control& control, const QString& text) {
  auto* edit = qobject_cast<QLineEdit*>(control.widget.data());
  if (edit == nullptr) return;
  ++quiet_;
  edit->setText(text);
  --quiet_;
  control.shown = text;
}

void DialogWindow::SetItemText(int id, std::string_view cp932) {
  Control* control = Find(id);
  if (control == nullptr) return;
  const QString text = ToQt(cp932);
  control->text = std::string(cp932);
  QWidget* widget = control->widget;
  if (auto* label = qobject_cast<QLabel*>(widget)) {
    label->setText(text);
  } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
    button->setText(text);
  } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
    group->setTitle(text);
  } else if (auto* box = qobject_cast<QPlainTextEdit*>(widget)) {
    // Windows' edit boxes break lines at CR LF.
    ++quiet_;
    box->setPlainText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    --quiet_;
    control->modified = false;
    QPointer<DialogLink> link = link_;
    Notify(id, kEnUpdate);
    if (!Alive(link)) return;
    Notify(id, kEnChange);
  } else if (qobject_cast<QLineEdit*>(widget) != nullptr) {
    // WM_SETTEXT: a new text, not an edit of the user's; the undo goes too.
    SetEditShown(*control, text);
    control->modified = false;
    control->can_undo = false;
    control->undo_text.clear();
    QPointer<DialogLink> link = link_;
    Notify(id, kEnUpdate);
    if (!Alive(link)) return;
    Notify(id, kEnChange);
  }
}

std::string DialogWindow::GetItemText(int id) const {
  const Control* control = Find(id);
  if (control == nullptr) return {};
  if (auto* combo = qobject_cast<QComboBox*>(control->widget.data())) {
    const int index = combo->currentIndex();
    return index < 0 ? std::string() : combo->itemData(index, kItemBytesRole).toByteArray().toStdString();
  }
  return control->text;
}

void DialogWindow::EnableItem(int id, bool enabled) {
  if (Control* control = Find(id)) control->widget->setEnabled(enabled);
}

bool DialogWindow::IsItemEnabled(int id) const {
  const Control* control = Find(id);
  return control != nullptr && control->widget->isEnabled();
}

void DialogWindow::ShowItem(int id, bool shown) {
  if (Control* control = Find(id)) control->widget->setVisible(shown);
}

bool DialogWindow::IsItemShown(int id) const {
  const Control* control = Find(id);
  return control != nullptr && !control->widget->isHidden();
}

void DialogWindow::FocusItem(int id) {
  if (Control* control = Find(id)) control->widget->setFocus(Qt::OtherFocusReason);
}

int DialogWindow::FocusedItem() const {
  if (!root_) return 0;
  const QWidget* focused = root_->window()->focusWidget();
  for (; focused != nullptr && focused != root_; focused = focused->parentWidget()) {
    for (const auto& [id, control] : controls_) {
      if (control.widget == focused) return id;
    }
  }
  return 0;
}

void DialogWindow::RedrawItem(int id) {
  if (id == 0 && root_) root_->repaint();
  if (Control* control = Find(id)) control->widget->repaint();
}

void DialogWindow::CheckButton(int id, bool checked) {
  auto* button = WidgetOf<QAbstractButton>(id);
  if (button == nullptr) return;
  ++quiet_;
  button->setCheckable(true);
  button->setChecked(checked);
  --quiet_;
}

bool DialogWindow::IsButtonChecked(int id) const {
  auto* button = WidgetOf<QAbstractButton>(id);
  return button != nullptr && button->isChecked();
}

void DialogWindow::SetButtonHighlight(int id, bool pushed) {
  if (auto* button = WidgetOf<QAbstractButton>(id)) {
    button->setDown(pushed);
    button->update();
  }
}

int DialogWindow::ButtonState(int id) const {
  auto* button = WidgetOf<QAbstractButton>(id);
  if (button == nullptr) return 0;
  return (button->isChecked() ? kBstChecked : 0) | (button->isDown() ? kBstPushed : 0) |
         (button->hasFocus() ? kBstFocus : 0);
}

void DialogWindow::SetItemImage(int id, std::string_view image_path) {
  Control* control = Find(id);
  if (control == nullptr) return;
  const QPixmap image(QString::fromStdString(std::string(image_path)));
  if (auto* button = dynamic_cast<OwnerDrawButton*>(control->widget.data())) {
    button->SetImage(image);
  } else if (auto* label = qobject_cast<QLabel*>(control->widget.data())) {
    label->setPixmap(image);
  }
}

void DialogWindow::SetItemIcon(int id, StockIcon icon) {
  auto* label = WidgetOf<QLabel>(id);
  if (label == nullptr) return;
  QStyle::StandardPixmap which = QStyle::SP_MessageBoxWarning;
  switch (icon) {
    case StockIcon::kExclamation: which = QStyle::SP_MessageBoxWarning; break;
  }
  label->setPixmap(label->style()->standardIcon(which).pixmap(kIconPixels, kIconPixels));
  // An icon field takes the icon's size, as SS_ICON does.
  label->resize(kIconPixels, kIconPixels);
}

void DialogWindow::SetEditLimit(int id, int max_bytes) {
  if (Control* control = Find(id)) control->limit = std::max(0, max_bytes);
}

bool DialogWindow::IsEditModified(int id) const {
  const Control* control = Find(id);
  return control != nullptr && control->modified;
}

void DialogWindow::SetEditModified(int id, bool modified) {
  if (Control* control = Find(id)) control->modified = modified;
}

bool DialogWindow::CanUndo(int id) const {
  const Control* control = Find(id);
  return control != nullptr && control->kind == ControlKind::kEdit && control->can_undo;
}

void DialogWindow::Undo(int id) {
  Control* control = Find(id);
  auto* edit = WidgetOf<QLineEdit>(id);
  if (control == nullptr || edit == nullptr || !control->can_undo) return;
  // One level, as the edit control keeps it: undoing twice redoes.
  const QString before = control->shown;
  SetEditShown(*control, control->undo_text);
  control->undo_text = before;
  control->text = FromQt(control->shown);
  control->modified = true;
  QPointer<DialogLink> link = link_;
  Notify(id, kEnUpdate);
  if (!Alive(link)) return;
  Notify(id, kEnChange);
}

void DialogWindow::Cut(int id) {
  if (auto* edit = WidgetOf<QLineEdit>(id)) edit->cut();
}

void DialogWindow::Copy(int id) {
  if (auto* edit = WidgetOf<QLineEdit>(id)) edit->copy();
}

void DialogWindow::Paste(int id) {
  if (auto* edit = WidgetOf<QLineEdit>(id)) edit->paste();
}

void DialogWindow::SetEditSelection(int id, int start, int end) {
  auto* edit = WidgetOf<QLineEdit>(id);
  if (edit == nullptr) return;
  const QString text = edit->text();
  if (start < 0) {
    edit->deselect();
    return;
  }
  const int from = CharOffset(text, start);
  const int to = CharOffset(text, end);
  edit->setSelection(from, to - from);
}

void DialogWindow::GetEditSelection(int id, int& start, int& end) const {
  start = end = 0;
  auto* edit = WidgetOf<QLineEdit>(id);
  if (edit == nullptr) return;
  const QString text = edit->text();
  if (edit->hasSelectedText()) {
    start = ByteOffset(text, edit->selectionStart());
    end = ByteOffset(text, edit->selectionEnd());
  } else {
    start = end = ByteOffset(text, edit->cursorPosition());
  }
}

void DialogWindow::SetEditReadOnly(int id, bool read_only) {
  if (auto* edit = WidgetOf<QLineEdit>(id)) edit->setReadOnly(read_only);
}

int DialogWindow::TextWidth(int id, std::string_view cp932) const {
  const QWidget* widget = root_;
  if (const Control* control = Find(id)) widget = control->widget;
  if (widget == nullptr) return 0;
  return QFontMetrics(widget->font()).horizontalAdvance(ToQt(cp932));
}

void DialogWindow::SetTimer(int timer_id, int milliseconds) {
  QPointer<QTimer>& timer = timers_[timer_id];
  if (!timer) {
    timer = new QTimer(link_);
    DialogLink* link = link_;
    QObject::connect(timer, &QTimer::timeout, link, [link, timer_id] {
      if (link->owner) link->owner->Timer(timer_id);
    });
  }
  timer->start(std::max(0, milliseconds));
}

void DialogWindow::KillTimer(int timer_id) {
  auto found = timers_.find(timer_id);
  if (found != timers_.end() && found->second) found->second->stop();
}

bool DialogWindow::TimerRunning(int timer_id) const {
  auto found = timers_.find(timer_id);
  return found != timers_.end() && found->second && found->second->isActive();
}

void DialogWindow::Focus() {
  if (!root_) return;
  root_->activateWindow();
  root_->setFocus(Qt::OtherFocusReason);
}

void DialogWindow::Show() {
  if (root_) root_->show();
}

void DialogWindow::Hide() {
  if (root_) root_->hide();
}

bool DialogWindow::IsShown() const { return root_ && root_->isVisible(); }

PixelRect DialogWindow::Rect() const {
  if (!root_) return {};
  if (root_->isWindow()) {
    // The window's own rectangle, the same before and after it shows
    // whatever frame a window manager adds; Move takes it back.
    const QRect own = root_->geometry();
    return {own.x(), own.y(), own.width(), own.height()};
  }
  const QPoint origin = root_->mapToGlobal(QPoint(0, 0));
  return {origin.x(), origin.y(), root_->width(), root_->height()};
}

void DialogWindow::Move(int x, int y) {
  if (!root_) return;
  if (root_->isWindow()) {
    root_->setGeometry(x, y, root_->width(), root_->height());
  } else {
    root_->move(root_->parentWidget()->mapFromGlobal(QPoint(x, y)));
  }
}

PixelRect DialogWindow::ItemRect(int id) const {
  if (!root_) return {};
  if (id == 0) return {0, 0, root_->width(), root_->height()};
  const Control* control = Find(id);
  if (control == nullptr) return {};
  const QRect rect = control->widget->geometry();
  return {rect.x(), rect.y(), rect.width(), rect.height()};
}

void DialogWindow::EndDialog(int result) {
  QDialog* dialog = modal();
  if (dialog == nullptr) return;
  ended_ = true;
  result_ = result;
  dialog->done(result == kIdOk ? QDialog::Accepted : QDialog::Rejected);
}

bool DialogWindow::SaveImage(std::string_view host_path) const {
  if (!root_) return false;
  return root_->grab().save(QString::fromStdString(std::string(host_path)), "PNG");
}

void DialogWindow::UserClick(int id) {
  if (auto* button = WidgetOf<QAbstractButton>(id)) {
    button->click();  // nothing when disabled, as for a person
  }
}

void DialogWindow::UserType(int id, std::string_view cp932) {
  auto* edit = WidgetOf<QLineEdit>(id);
  if (edit == nullptr || !edit->isEnabled() || edit->isReadOnly()) return;
  edit->selectAll();
  // A key event carrying the whole text, as an input method commits it.
  if (cp932.empty()) {
    QKeyEvent erase(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier);
    QApplication::sendEvent(edit, &erase);
  } else {
    QKeyEvent typed(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, ToQt(cp932));
    QApplication::sendEvent(edit, &typed);
  }
}

void DialogWindow::UserChoose(int id, int index) {
  auto* combo = WidgetOf<QComboBox>(id);
  if (combo == nullptr || !combo->isEnabled()) return;
  QPointer<DialogLink> link = link_;
  combo->showPopup();
  if (!Alive(link)) return;
  if (index >= 0 && index < combo->count()) combo->setCurrentIndex(index);
  if (!Alive(link)) return;
  combo->hidePopup();
  if (Alive(link)) ComboDropped(id, false);
}

void DialogWindow::UserSelectListItem(int id, int index) {
  auto* list = WidgetOf<QListWidget>(id);
  if (list == nullptr || !list->isEnabled() || index < 0 || index >= list->count()) return;
  list->setCurrentRow(index);
}

void DialogWindow::UserScroll(int id, int request, int position) {
  auto* bar = WidgetOf<QScrollBar>(id);
  Control* control = Find(id);
  if (bar == nullptr || control == nullptr || !bar->isEnabled()) return;
  switch (request) {
    case kSbLineUp: bar->triggerAction(QAbstractSlider::SliderSingleStepSub); break;
    case kSbLineDown: bar->triggerAction(QAbstractSlider::SliderSingleStepAdd); break;
    case kSbPageUp: bar->triggerAction(QAbstractSlider::SliderPageStepSub); break;
    case kSbPageDown: bar->triggerAction(QAbstractSlider::SliderPageStepAdd); break;
    case kSbTop: bar->triggerAction(QAbstractSlider::SliderToMinimum); break;
    case kSbBottom: bar->triggerAction(QAbstractSlider::SliderToMaximum); break;
    case kSbThumbTrack:
      control->track = position;
      events_.OnScroll(*this, id, kSbThumbTrack, position);
      break;
    case kSbThumbPosition:
      control->track = position;
      events_.OnScroll(*this, id, kSbThumbPosition, position);
      break;
    default: events_.OnScroll(*this, id, request, position);
  }
}

void DialogWindow::UserFocus(int id) {
  Control* control = Find(id);
  if (control == nullptr || !control->widget->isEnabled()) return;
  QWidget* window = control->widget->window();
  if (QApplication::activeWindow() != window) {
    window->activateWindow();
    QApplication::setActiveWindow(window);
  }
  control->widget->setFocus(Qt::MouseFocusReason);
}

}  // namespace zvrx::platform::ui
