// Inside the window layer only: a dialog built from its template over Qt
// widgets, the one implementation behind pages (CreatePage) and modal
// dialogs (RunModal). Controls are kept by id with the CP932 text page code
// set or the user typed, and Qt's signals are turned into the notifications
// Windows sends.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <map>
#include <string>

#include "platform/ui/window.h"

class QDialog;
class QTimer;

namespace zvrx::platform::ui {

class DialogWindow;

// The widgets' way back to their dialog. The dialog object may go while Qt
// is still inside one of its widgets' events; it then clears `owner` and
// the widgets, deleted later, reach nothing.
class DialogLink : public QObject {
 public:
  DialogWindow* owner = nullptr;
  // Focus changes of edits and lists, releases of scroll bars.
  bool eventFilter(QObject* watched, QEvent* event) override;
};

// Is the dialog behind `link` still there after an event handler ran?
inline bool Alive(const QPointer<DialogLink>& link) { return link && link->owner != nullptr; }

// The CP932 bytes of a list or drop-down item are kept beside its shown text.
inline constexpr int kItemBytesRole = Qt::UserRole;

class DialogWindow final : public Dialog {
 public:
  // A page inside `page_parent`, or a modal dialog when it is null.
  DialogWindow(const DialogTemplate& dialog, DialogEvents& events, QWidget* page_parent);
  ~DialogWindow() override;
  DialogWindow(const DialogWindow&) = delete;
  DialogWindow& operator=(const DialogWindow&) = delete;

  QWidget* root() const { return root_; }
  QDialog* modal() const;
  DialogEvents& events() const { return events_; }
  const DialogTemplate& dialog_template() const { return template_; }
  bool HasItem(int id) const { return controls_.count(id) != 0; }
  bool ended() const { return ended_; }
  int result() const { return result_; }
  // The static texts joined by line feeds, as the transcript shows them.
  std::string StaticTexts() const;
  // The id that Enter presses: the focused push button, else the default.
  int EnterId() const;

  // From the widgets.
  void Notify(int id, int code);
  void EditChanged(int id);
  void ComboDropped(int id, bool dropped);
  void ScrollAction(int id, int qt_action);
  void ScrollReleased(int id);
  void Painted();
  void Timer(int timer_id);
  void CloseBox();
  void KeyEnter();
  void KeyEscape();

  int TemplateId() const override { return template_.id; }
  void SetCaption(std::string_view cp932) override;
  void SetItemText(int id, std::string_view cp932) override;
  std::string GetItemText(int id) const override;
  void EnableItem(int id, bool enabled) override;
  bool IsItemEnabled(int id) const override;
  void ShowItem(int id, bool shown) override;
  bool IsItemShown(int id) const override;
  void FocusItem(int id) override;
  int FocusedItem() const override;
  void RedrawItem(int id) override;
  void CheckButton(int id, bool checked) override;
  bool IsButtonChecked(int id) const override;
  void SetButtonHighlight(int id, bool pushed) override;
  int ButtonState(int id) const override;
  void SetItemImage(int id, std::string_view image_path) override;
  void SetItemIcon(int id, StockIcon icon) override;
  void SetEditLimit(int id, int max_bytes) override;
  bool IsEditModified(int id) const override;
  void SetEditModified(int id, bool modified) override;
  bool CanUndo(int id) const override;
  void Undo(int id) override;
  void Cut(int id) override;
  void Copy(int id) override;
  void Paste(int id) override;
  void SetEditSelection(int id, int start, int end) override;
  void GetEditSelection(int id, int& start, int& end) const override;
  void SetEditReadOnly(int id, bool read_only) override;
  void ComboReset(int id) override;
  int ComboAdd(int id, std::string_view cp932) override;
  void ComboSelect(int id, int index) override;
  int ComboSelection(int id) const override;
  bool ComboIsDroppedDown(int id) const override;
  void ComboShowDropDown(int id, bool shown) override;
  void ListReset(int id) override;
  int ListAdd(int id, std::string_view cp932) override;
  int ListInsert(int id, int index, std::string_view cp932) override;
  void ListDelete(int id, int index) override;
  int ListCount(int id) const override;
  std::string ListText(int id, int index) const override;
  void ListSelect(int id, int index) override;
  int ListSelection(int id) const override;
  int ListTopIndex(int id) const override;
  void SetScrollRange(int id, int min, int max) override;
  void SetScrollPos(int id, int position) override;
  int ScrollPos(int id) const override;
  int TextWidth(int id, std::string_view cp932) const override;
  void SetTimer(int timer_id, int milliseconds) override;
  void KillTimer(int timer_id) override;
  bool TimerRunning(int timer_id) const override;
  void Focus() override;
  void Show() override;
  void Hide() override;
  bool IsShown() const override;
  PixelRect Rect() const override;
  void Move(int x, int y) override;
  PixelRect ItemRect(int id) const override;
  void EndDialog(int result) override;
  bool SaveImage(std::string_view host_path) const override;
  void UserClick(int id) override;
  void UserType(int id, std::string_view cp932) override;
  void UserChoose(int id, int index) override;
  void UserSelectListItem(int id, int index) override;
  void UserScroll(int id, int request, int position) override;
  void UserFocus(int id) override;

 private:
  struct Control {
    ControlKind kind = ControlKind::kLeftText;
    QPointer<QWidget> widget;
    std::string text;  // CP932, as last set or typed
    // Edits.
    QString shown;     // what the edit showed after the last change
    int limit = 0;     // bytes; 0 for none
    bool modified = false;
    bool can_undo = false;
    QString undo_text;
    // Combo boxes.
    bool dropped = false;
    // Scroll bars: where the page put the thumb, and where a drag is.
    int position = 0;
    int track = 0;
    bool dragging = false;
  };

  void Build(const ControlTemplate& control, BaseUnits base);
  Control* Find(int id);
  const Control* Find(int id) const;
  template <typename W>
  W* WidgetOf(int id) const {
    const Control* control = Find(id);
    return control == nullptr ? nullptr : qobject_cast<W*>(control->widget.data());
  }
  // Sets an edit's text without a notification of Qt's own.
  void SetEditShown(Control& control, const QString& text);

  const DialogTemplate template_;  // a copy: callers' lists may go
  DialogEvents& events_;
  QPointer<QWidget> root_;
  QPointer<DialogLink> link_;
  std::map<int, Control> controls_;
  std::map<int, QPointer<QTimer>> timers_;
  int quiet_ = 0;  // > 0 while the layer itself changes a control
  bool ended_ = false;
  int result_ = kIdCancel;
};

}  // namespace zvrx::platform::ui
