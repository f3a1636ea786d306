// The page-window framework: the five pages besides the basic one are each a
// top-level frame (class, title, menu 120) hosting one modeless dialog.
// OpenPage creates or raises them; the frame routes its menu, Edit menu and
// close to the page.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/ui/file_dialog.h"
#include "platform/ui/window.h"
#include "settings/settings_state.h"

namespace zvrx {

// What every page shares; it is also its dialog's event handler. The base
// builds the page's dialog from its template and keeps it, routes the Edit
// menu to the page's edit control, and asks the save question when a
// changed page closes.
class Page : public platform::ui::DialogEvents {
 public:
  ~Page() override = default;
  // Builds the page's dialog inside `frame` (CreatePage) and initialises it;
  // without its template the page stays empty.
  void Create(platform::ui::Frame& frame);
  // The page's dialog from its initialisation on; null before, and when
  // the template is missing.
  platform::ui::Dialog* dialog() { return dialog_; }
  // WM_INITDIALOG: the dialog is noted, then the page fills it (InitPage).
  void OnInit(platform::ui::Dialog& dialog) final;
  // Close box, "閉じる" or the program's close. Returns true when the page
  // may go (it saved or discarded); false keeps it open (Cancel). The
  // framework then destroys the window and clears the page's entry.
  virtual bool RequestClose() = 0;
  // Edit menu items 40008-40011 and the menu's opening: they act on the
  // page's edit control (EditControl); without one every item is grey.
  virtual void OnEditCommand(int command);
  virtual void OnEditMenuOpening(platform::ui::Frame& frame);

 protected:
  // `dialog_id` names the page's template; `changed_mark` is its bit of the
  // changed marks, 0 for a page that saves nothing.
  Page(SettingsState& state, int dialog_id, uint8_t changed_mark = 0);

  // Fills the controls of the new dialog.
  virtual void InitPage(platform::ui::Dialog& /*dialog*/) {}
  // The edit control the Edit menu acts on now; 0 for none.
  virtual int EditControl() const { return 0; }

  bool Changed() const { return (state_.changed_marks & changed_mark_) != 0; }
  void MarkChanged() { state_.changed_marks |= changed_mark_; }
  void ClearChanged() { state_.changed_marks &= static_cast<uint8_t>(~changed_mark_); }

  // The save question of a changed page that closes: its name and message
  // 200, over the page. "はい" runs SaveChanges and "いいえ" DiscardChanges,
  // and either clears the changed mark and lets the page go; Cancel, or a
  // save that failed, keeps the page open and gives it the focus.
  bool AskToSaveAndClose(std::string_view page_name);
  virtual bool SaveChanges() { return true; }
  virtual void DiscardChanges() {}

  SettingsState& state_;
  platform::ui::Frame* frame_ = nullptr;

 private:
  const int dialog_id_;
  const uint8_t changed_mark_;
  std::unique_ptr<platform::ui::Dialog> window_;  // what dialog_ points at
  platform::ui::Dialog* dialog_ = nullptr;
};

// The Edit menu on edit control `id`: Undo, Cut, Copy or Paste, and the
// items enabled as the control's selection, undo and the clipboard allow.
void RunEditCommand(platform::ui::Dialog& dialog, int id, int command);
void EnableEditMenu(platform::ui::Frame& frame, const platform::ui::Dialog& dialog, int id);

// The pages' file dialogs, one at a time over all pages: "" at once while
// another is open, else the chosen path ("" when cancelled). Each starts on
// the desktop, made the current folder as the system's dialog expects.
std::string AskOpenFileName(SettingsState& state, const platform::ui::OpenFileRequest& request);
std::string AskSaveFileName(SettingsState& state, const platform::ui::SaveFileRequest& request);

// Builds the page object of a kind (not yet created); null for a kind the
// program does not have yet.
std::unique_ptr<Page> MakePage(SettingsState& state, PageKind kind);

struct PageDescription {
  const char* window_class;  // "OptionSetei"
  std::string title;         // CP932
  int dialog_id;
  int width_units, height_units;
  int extra_width_pixels;  // the list pages are one pixel wider
};
const PageDescription& DescribePage(PageKind kind);

// Opens the page, or restores and focuses it when it is open already.
// Returns the open page's window, or null when the kind has no page yet.
PageWindow* OpenPage(SettingsState& state, PageKind kind);
// The same with a page object made by the caller (tests bring their own);
// `page` is dropped when the kind is open already.
PageWindow* OpenPage(SettingsState& state, PageKind kind, std::unique_ptr<Page> page);

// Asks the page to close as its close box would; true when it closed.
bool ClosePage(SettingsState& state, PageKind kind);

class PageWindow : public platform::ui::FrameEvents {
 public:
  PageWindow(SettingsState& state, PageKind kind, std::unique_ptr<Page> page);
  ~PageWindow() override;
  platform::ui::Frame& frame() { return *frame_; }
  Page& page() { return *page_; }
  PageKind kind() const { return kind_; }

  void OnCommand(platform::ui::Frame& frame, int id, int source) override;
  void OnMenuPopup(platform::ui::Frame& frame, int position) override;
  void OnClose(platform::ui::Frame& frame) override;
  void OnPaint(platform::ui::Frame& frame) override;

 private:
  friend PageWindow* OpenPage(SettingsState&, PageKind);
  friend PageWindow* OpenPage(SettingsState&, PageKind, std::unique_ptr<Page>);
  SettingsState& state_;
  PageKind kind_;
  std::unique_ptr<Page> page_;
  std::unique_ptr<platform::ui::Frame> frame_;
};

}  // namespace zvrx
