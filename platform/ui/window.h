// Windows, dialogs and controls by id: the part of the window layer that
// page code talks to. Everything here speaks in control ids, Windows
// notification codes and CP932 bytes; no Qt type crosses this header.
//
// A Frame is a top-level window (class, title, optional menu bar). A Dialog
// is built from a DialogTemplate, either modeless as the child filling a
// frame's client area (a page), or modal. Reactions arrive as events with
// the codes Windows used, so page code reads like the behaviour it keeps.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ui/dialog.h"
#include "platform/ui/dialog_template.h"
#include "platform/ui/menu_template.h"
#include "platform/ui/transcript.h"
#include "platform/window_metrics.h"

namespace zvrx::platform::ui {

// Notification codes of WM_COMMAND.
inline constexpr int kBnClicked = 0;
inline constexpr int kEnSetFocus = 0x100;
inline constexpr int kEnKillFocus = 0x200;
inline constexpr int kEnChange = 0x300;
inline constexpr int kEnUpdate = 0x400;
inline constexpr int kEnMaxText = 0x501;
inline constexpr int kCbnSelChange = 1;
inline constexpr int kCbnDropDown = 7;
inline constexpr int kCbnCloseUp = 8;
inline constexpr int kLbnSelChange = 1;
inline constexpr int kLbnDblClk = 2;
inline constexpr int kLbnSetFocus = 4;
inline constexpr int kLbnKillFocus = 5;
// A menu item or an accelerator (code 0 and 1 in Windows; here told apart).
inline constexpr int kFromMenu = 0;
inline constexpr int kFromAccelerator = 1;

// Button states of BM_GETSTATE.
inline constexpr int kBstChecked = 0x1;
inline constexpr int kBstPushed = 0x4;  // drawn highlighted (BM_SETSTATE)
inline constexpr int kBstFocus = 0x8;

// Stock icons for icon fields.
enum class StockIcon { kExclamation };

// Screen and system measures in pixels.
SystemMetrics Metrics();

// Dialog base units of the dialog font (GetDialogBaseUnits).
BaseUnits SystemBaseUnits();

// IsClipboardFormatAvailable(CF_TEXT).
bool ClipboardHasText();

class Frame;
class Dialog;

// What a page or dialog reacts to. Every method has an empty default.
class DialogEvents {
 public:
  virtual ~DialogEvents() = default;
  // WM_INITDIALOG: controls exist, the dialog is not shown yet.
  virtual void OnInit(Dialog&) {}
  // WM_COMMAND from a control (notification code) or, for a modal dialog,
  // Enter (the default button's id) and Escape (kIdCancel).
  virtual void OnCommand(Dialog&, int /*id*/, int /*code*/) {}
  // WM_VSCROLL from a scroll-bar control. The layer never moves the bar by
  // itself: the handler sets the position it wants.
  virtual void OnScroll(Dialog&, int /*id*/, int /*request*/, int /*position*/) {}
  virtual void OnTimer(Dialog&, int /*timer_id*/) {}
  // The dialog was painted (after the layer drew the controls).
  virtual void OnPaint(Dialog&) {}
  // WM_CLOSE of a modal dialog (its close box); the default sends
  // OnCommand(kIdCancel, kBnClicked) as DefDlgProc does.
  virtual void OnClose(Dialog& dialog);
};

class Dialog {
 public:
  virtual ~Dialog() = default;

  virtual int TemplateId() const = 0;
  virtual void SetCaption(std::string_view cp932) = 0;

  // Text of any control (static, edit, button, group box), CP932. Setting
  // an edit's text clears its modified flag and sends kEnUpdate and
  // kEnChange, as WM_SETTEXT does. Bytes CP932 cannot show are shown as
  // U+FFFD and kept in what GetItemText returns.
  virtual void SetItemText(int id, std::string_view cp932) = 0;
  virtual std::string GetItemText(int id) const = 0;
  virtual void EnableItem(int id, bool enabled) = 0;
  virtual bool IsItemEnabled(int id) const = 0;
  virtual void ShowItem(int id, bool shown) = 0;
  virtual bool IsItemShown(int id) const = 0;
  virtual void FocusItem(int id) = 0;
  // The id of the control with the keyboard focus, 0 for none.
  virtual int FocusedItem() const = 0;
  // Redraws the control now (InvalidateRect + UpdateWindow).
  virtual void RedrawItem(int id) = 0;

  // Buttons, check boxes, radio buttons.
  virtual void CheckButton(int id, bool checked) = 0;
  virtual bool IsButtonChecked(int id) const = 0;
  virtual void SetButtonHighlight(int id, bool pushed) = 0;  // BM_SETSTATE
  virtual int ButtonState(int id) const = 0;                 // kBst* bits
  // The image an owner-drawn button or picture shows: a host or resource
  // path of a PNG (":/settings/bitmap_111.png").
  virtual void SetItemImage(int id, std::string_view image_path) = 0;
  virtual void SetItemIcon(int id, StockIcon icon) = 0;

  // Edit controls; offsets and limits in CP932 bytes, as an ANSI edit
  // control counts them.
  virtual void SetEditLimit(int id, int max_bytes) = 0;  // EM_LIMITTEXT
  virtual bool IsEditModified(int id) const = 0;        // EM_GETMODIFY
  virtual void SetEditModified(int id, bool modified) = 0;
  virtual bool CanUndo(int id) const = 0;
  virtual void Undo(int id) = 0;
  virtual void Cut(int id) = 0;
  virtual void Copy(int id) = 0;
  virtual void Paste(int id) = 0;
  // EM_SETSEL: -1 as `end` means the end of the text.
  virtual void SetEditSelection(int id, int start, int end) = 0;
  virtual void GetEditSelection(int id, int& start, int& end) const = 0;
  virtual void SetEditReadOnly(int id, bool read_only) = 0;

  // Drop-down lists (CB_*). Index -1 means no selection.
  virtual void ComboReset(int id) = 0;
  virtual int ComboAdd(int id, std::string_view cp932) = 0;
  virtual void ComboSelect(int id, int index) = 0;
  virtual int ComboSelection(int id) const = 0;
  virtual bool ComboIsDroppedDown(int id) const = 0;  // CB_GETDROPPEDSTATE
  virtual void ComboShowDropDown(int id, bool shown) = 0;

  // List boxes (LB_*). Index -1 means no selection / the end.
  virtual void ListReset(int id) = 0;
  virtual int ListAdd(int id, std::string_view cp932) = 0;  // at the end
  virtual int ListInsert(int id, int index, std::string_view cp932) = 0;
  virtual void ListDelete(int id, int index) = 0;
  virtual int ListCount(int id) const = 0;
  virtual std::string ListText(int id, int index) const = 0;
  virtual void ListSelect(int id, int index) = 0;  // scrolls it into view
  virtual int ListSelection(int id) const = 0;
  virtual int ListTopIndex(int id) const = 0;

  // Scroll-bar controls.
  virtual void SetScrollRange(int id, int min, int max) = 0;
  virtual void SetScrollPos(int id, int position) = 0;
  virtual int ScrollPos(int id) const = 0;

  // Width in pixels of a CP932 text in the control's font (GetTextExtent).
  virtual int TextWidth(int id, std::string_view cp932) const = 0;

  // Timers by id (SetTimer/KillTimer on the dialog); OnTimer receives them.
  virtual void SetTimer(int timer_id, int milliseconds) = 0;
  virtual void KillTimer(int timer_id) = 0;
  virtual bool TimerRunning(int timer_id) const = 0;

  // The dialog itself.
  virtual void Focus() = 0;  // SetFocus on the dialog window
  virtual void Show() = 0;
  virtual void Hide() = 0;
  virtual bool IsShown() const = 0;
  // Screen rectangle of the dialog window (for a modal dialog the outer
  // rectangle; for a page its client area) and moving it.
  virtual PixelRect Rect() const = 0;
  virtual void Move(int x, int y) = 0;
  // Pixel rectangle of a control within the dialog; id 0 = the dialog.
  virtual PixelRect ItemRect(int id) const = 0;
  // Ends a modal dialog: RunModal returns `result`. Ignored for a page.
  virtual void EndDialog(int result) = 0;
  // Saves what the dialog shows now as a PNG; false when it failed.
  virtual bool SaveImage(std::string_view host_path) const = 0;

  // Simulated user input, for tests and the control channel: each goes
  // through the real widget, so the same notifications follow as for a
  // person's click, typing or choice.
  virtual void UserClick(int id) = 0;                           // a button or box
  virtual void UserType(int id, std::string_view cp932) = 0;    // replace the edit's text
  virtual void UserChoose(int id, int index) = 0;               // drop down, pick, close
  virtual void UserSelectListItem(int id, int index) = 0;       // list box click
  virtual void UserScroll(int id, int request, int position) = 0;
  virtual void UserFocus(int id) = 0;                           // click into the control
};

// Builds a page: the modeless child filling `parent`'s client area below
// its menu bar. OnInit runs before this returns. The dialog lives until the
// returned object is destroyed (destroying it from one of its own events is
// safe: the widget goes once the event is over).
std::unique_ptr<Dialog> CreatePage(const DialogTemplate& dialog, Frame& parent,
                                   DialogEvents& events);

// How a modal dialog is placed before it shows; further placing is the
// caller's, from OnInit, with Rect and Move.
struct ModalOptions {
  bool system_modal = true;   // blocks every window of the program
  bool hide_close_button = true;
  // The screen rectangle of the owner, for callers that centre over it.
  std::optional<PixelRect> owner;
};

// Shows a modal dialog on the main thread and returns the EndDialog
// result, or kIdCancel when the program ended while it was up. Writes the
// transcript line ("dialog <id>", the caption, the static texts joined
// with line feeds) once OnInit has run, and presses a scripted answer when
// one is waiting: a button name or a decimal control id; "YES" presses
// control kIdOk when the dialog has no control kIdYes (this program's yes
// buttons carry id 1).
int RunModal(const DialogTemplate& dialog, DialogEvents& events, const ModalOptions& options);

// What a top-level window reacts to.
class FrameEvents {
 public:
  virtual ~FrameEvents() = default;
  // A menu item or an accelerator (source kFromMenu or kFromAccelerator).
  virtual void OnCommand(Frame&, int /*id*/, int /*source*/) {}
  // A drop-down menu of the menu bar is about to open (WM_INITMENUPOPUP);
  // `position` counts the menu bar's entries from 0.
  virtual void OnMenuPopup(Frame&, int /*position*/) {}
  // The close box, the system menu's close, or Close(): the window stays
  // until the program destroys it.
  virtual void OnClose(Frame&) {}
  virtual void OnPaint(Frame&) {}
  // Enter pressed while the frame itself (not a page control) has focus.
  virtual void OnEnter(Frame&) {}
};

struct FrameParams {
  std::string window_class;  // CP932
  std::string title;         // CP932
  const MenuTemplate* menu = nullptr;
  int width = 0, height = 0;  // outer size in pixels (WindowSize)
  std::string icon_path;      // PNG, host or resource path; "" for none
};

class Frame {
 public:
  virtual ~Frame() = default;
  virtual const std::string& WindowClass() const = 0;
  virtual void Show() = 0;
  virtual void Hide() = 0;
  virtual bool IsShown() const = 0;
  virtual void Minimise() = 0;
  virtual void Restore() = 0;  // SW_RESTORE
  virtual bool IsMinimised() const = 0;
  virtual void Focus() = 0;  // SetFocus + bring to the foreground
  // Outer screen rectangle; the layer keeps the client large enough for
  // the menu bar and the page whatever the font measures.
  virtual PixelRect Rect() const = 0;
  virtual void Move(int x, int y) = 0;
  virtual void EnableMenuItem(int id, bool enabled) = 0;
  virtual bool IsMenuItemEnabled(int id) const = 0;
  // As the system's close would: calls OnClose.
  virtual void Close() = 0;
  virtual bool SaveImage(std::string_view host_path) const = 0;
  // Simulated: opens the menu bar's entry (OnMenuPopup), or picks an item.
  virtual void UserOpenMenu(int position) = 0;
  virtual void UserMenuCommand(int id) = 0;
};

// Creates a top-level window (hidden). Destroying the object destroys the
// window; from one of its own events that is safe too.
std::unique_ptr<Frame> CreateFrame(const FrameParams& params, FrameEvents& events);

// The accelerator table and the window it is translated for: every key
// press of the program is first looked up in the table and, on a match,
// goes to `target` as OnCommand(id, kFromAccelerator) instead of the
// focused control. A null target or table turns translation off.
void SetAccelerators(const AcceleratorTable* table, Frame* target);
Frame* AcceleratorTarget();

}  // namespace zvrx::platform::ui
