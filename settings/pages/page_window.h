// The page-window framework: the five pages besides the basic one are each a
// top-level frame (class, title, menu 120) hosting one modeless dialog.
// OpenPage creates or raises them; the frame routes its menu, Edit menu and
// close to the page.
#pragma once

#include <memory>
#include <string>

#include "platform/ui/window.h"
#include "settings/settings_state.h"

namespace zvrx {

// What each page implements; it is also its dialog's event handler.
class Page : public platform::ui::DialogEvents {
 public:
  ~Page() override = default;
  // Builds the page's dialog inside `frame` (CreatePage) and initialises it.
  virtual void Create(platform::ui::Frame& frame) = 0;
  virtual platform::ui::Dialog* dialog() = 0;
  // Close box, "閉じる" or the program's close. Returns true when the page
  // may go (it saved or discarded); false keeps it open (Cancel). The
  // framework then destroys the window and clears the page's entry.
  virtual bool RequestClose() = 0;
  // Edit menu items 40008-40011 and the menu's opening (grey what cannot act).
  virtual void OnEditCommand(int /*command*/) {}
  virtual void OnEditMenuOpening(platform::ui::Frame& frame);
};

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
