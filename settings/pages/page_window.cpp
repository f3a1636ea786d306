#include "settings/pages/page_window.h"

#include <array>
#include <utility>

#include "platform/cp932.h"
#include "platform/desktop.h"
#include "platform/drives.h"
#include "settings/message_dialogs.h"
#include "settings/model/window_placement.h"

namespace zvrx {

namespace {

namespace ui = platform::ui;

// The Edit menu of the page menu: the empty first entry comes before it.
constexpr int kEditMenuPosition = 2;
constexpr std::array kEditCommands{kCmdUndo, kCmdCopy, kCmdPaste, kCmdCut};

const ui::AcceleratorTable* Accelerators(const SettingsState& state) {
  return ui::FindAccelerators(state.resources.accelerators, kAcceleratorsId);
}

int OpenPageCount(const SettingsState& state) {
  int count = 0;
  for (const auto& page : state.pages) count += page != nullptr;
  return count;
}

template <typename Ask>
std::string OneFileDialog(SettingsState& state, Ask ask) {
  if (state.file_dialog_open) return {};
  // Without a desktop the dialog starts where the program stands.
  platform::SetCurrentDirectory(platform::DesktopFolder() + "\\");
  state.file_dialog_open = true;
  std::string chosen = ask();
  state.file_dialog_open = false;
  return chosen;
}

}  // namespace

std::string AskOpenFileName(SettingsState& state, const ui::OpenFileRequest& request) {
  return OneFileDialog(state, [&request] { return ui::GetOpenFileName(request); });
}

std::string AskSaveFileName(SettingsState& state, const ui::SaveFileRequest& request) {
  return OneFileDialog(state, [&request] { return ui::GetSaveFileName(request); });
}

Page::Page(SettingsState& state, int dialog_id, uint8_t changed_mark)
    : state_(state), dialog_id_(dialog_id), changed_mark_(changed_mark) {}

void Page::Create(ui::Frame& frame) {
  frame_ = &frame;
  const ui::DialogTemplate* dialog = ui::FindTemplate(state_.resources.dialogs, dialog_id_);
  if (dialog == nullptr) return;
  window_ = ui::CreatePage(*dialog, frame, *this);
}

void Page::OnInit(ui::Dialog& dialog) {
  // Reachable from here on: the page's own start-up may measure its controls.
  dialog_ = &dialog;
  InitPage(dialog);
}

void RunEditCommand(ui::Dialog& dialog, int id, int command) {
  switch (command) {
    case kCmdUndo: dialog.Undo(id); return;
    case kCmdCut: dialog.Cut(id); return;
    case kCmdCopy: dialog.Copy(id); return;
    case kCmdPaste: dialog.Paste(id); return;
    default: return;
  }
}

void EnableEditMenu(ui::Frame& frame, const ui::Dialog& dialog, int id) {
  int start = 0, end = 0;
  dialog.GetEditSelection(id, start, end);
  frame.EnableMenuItem(kCmdUndo, dialog.CanUndo(id));
  frame.EnableMenuItem(kCmdPaste, ui::ClipboardHasText());
  frame.EnableMenuItem(kCmdCut, start != end);
  frame.EnableMenuItem(kCmdCopy, start != end);
}

void Page::OnEditCommand(int command) {
  const int edit = EditControl();
  if (dialog_ != nullptr && edit != 0) RunEditCommand(*dialog_, edit, command);
}

void Page::OnEditMenuOpening(ui::Frame& frame) {
  const int edit = EditControl();
  if (dialog_ != nullptr && edit != 0) {
    EnableEditMenu(frame, *dialog_, edit);
    return;
  }
  for (int command : kEditCommands) frame.EnableMenuItem(command, false);
}

bool Page::AskToSaveAndClose(std::string_view page_name) {
  const ui::PixelRect owner = frame_->Rect();
  switch (AskSaveQuestion(state_, page_name, &owner)) {
    case kResultYes:
      if (!SaveChanges()) break;
      ClearChanged();
      return true;
    case kResultNo:
      DiscardChanges();
      ClearChanged();
      return true;
    default:
      break;
  }
  frame_->Focus();
  return false;
}

const PageDescription& DescribePage(PageKind kind) {
  static const std::array<PageDescription, kPageKindCount> descriptions{{
      // 34 units taller than the system's page for the kept-copies box below
      // its groups; every other control stands where it stood.
      {"OptionSetei", platform::Utf8ToCp932("オプション設定"), kOptionsDialogId, 195, 222, 0},
      // 76 units taller for the group of extension switches below its groups.
      {"HanteiJoken", platform::Utf8ToCp932("判定条件設定"), kJudgmentDialogId, 195, 264, 0},
      {"YoninList", platform::Utf8ToCp932("受信容認リスト設定"), kListDialogId, 206, 160, 1},
      {"KyohiList", platform::Utf8ToCp932("受信拒否リスト設定"), kListDialogId, 206, 160, 1},
      {"LogList", platform::Utf8ToCp932("作業記録"), kLogDialogId, 239, 158, 0},
  }};
  return descriptions[static_cast<int>(kind)];
}

PageWindow* OpenPage(SettingsState& state, PageKind kind) {
  if (PageOpen(state, kind)) return OpenPage(state, kind, nullptr);
  std::unique_ptr<Page> page = MakePage(state, kind);
  if (page == nullptr) return nullptr;
  return OpenPage(state, kind, std::move(page));
}

PageWindow* OpenPage(SettingsState& state, PageKind kind, std::unique_ptr<Page> page) {
  auto& slot = state.pages[static_cast<int>(kind)];
  if (slot != nullptr) {
    ui::Frame& frame = slot->frame();
    if (frame.IsMinimised()) frame.Restore();
    frame.Focus();
    return slot.get();
  }
  if (page == nullptr) return nullptr;

  const PageDescription& description = DescribePage(kind);
  const ui::SystemMetrics metrics = ui::Metrics();
  PixelSize size = WindowSize(description.width_units, description.height_units, false, metrics);
  size.width += description.extra_width_pixels;

  ui::FrameParams params;
  params.window_class = description.window_class;
  params.title = description.title;
  params.menu = ui::FindMenu(state.resources.menus, kPageMenuId);
  params.width = size.width;
  params.height = size.height;
  params.icon_path = kSettingsIconPath;

  auto window = std::make_unique<PageWindow>(state, kind, std::move(page));
  window->frame_ = ui::CreateFrame(params, *window);
  if (window->frame_ == nullptr) return nullptr;  // nothing to show; the page stays closed
  PageWindow* opened = window.get();
  // Open from here on: the page's own start-up may ask for it.
  slot = std::move(window);
  opened->page().Create(opened->frame());

  ui::Frame& frame = opened->frame();
  const ui::PixelRect main_frame =
      state.main_frame != nullptr ? state.main_frame->Rect() : ui::PixelRect{};
  const PixelPoint place = PlaceWindow(metrics, frame.Rect(), main_frame, OpenPageCount(state));
  frame.Move(place.x, place.y);
  frame.Show();
  ui::SetAccelerators(Accelerators(state), &frame);

  // The options page compares against what it showed when it opened.
  if (kind == PageKind::kOptions) {
    state.snapshots.options = state.records.options;
    state.snapshots.mailer = state.records.mailer;
  }
  return opened;
}

bool ClosePage(SettingsState& state, PageKind kind) {
  auto& slot = state.pages[static_cast<int>(kind)];
  if (slot == nullptr) return true;
  if (!slot->page().RequestClose()) return false;
  slot->frame().Hide();
  // The page window may be the one whose event brought us here; it goes
  // last, and nothing of it is touched afterwards.
  std::unique_ptr<PageWindow> closing = std::move(slot);
  ui::SetAccelerators(Accelerators(state), state.main_frame);
  closing.reset();
  return true;
}

PageWindow::PageWindow(SettingsState& state, PageKind kind, std::unique_ptr<Page> page)
    : state_(state), kind_(kind), page_(std::move(page)) {}

PageWindow::~PageWindow() {
  if (frame_ != nullptr) frame_->Hide();
  if (ui::AcceleratorTarget() == frame_.get() && frame_ != nullptr) {
    ui::SetAccelerators(Accelerators(state_), state_.main_frame);
  }
  // The page's dialog lives inside the frame: it goes first.
  page_.reset();
  frame_.reset();
}

void PageWindow::OnCommand(ui::Frame& /*frame*/, int id, int /*source*/) {
  switch (id) {
    case kCmdClosePage:
      ClosePage(state_, kind_);  // may destroy this window
      return;
    case kCmdUndo:
    case kCmdCopy:
    case kCmdPaste:
    case kCmdCut:
      page_->OnEditCommand(id);
      return;
    default:
      // Help and exit belong to the main frame; a page lets them pass.
      return;
  }
}

void PageWindow::OnMenuPopup(ui::Frame& frame, int position) {
  if (position == kEditMenuPosition) page_->OnEditMenuOpening(frame);
}

void PageWindow::OnClose(ui::Frame& /*frame*/) {
  ClosePage(state_, kind_);  // may destroy this window
}

void PageWindow::OnPaint(ui::Frame& frame) {
  ui::SetAccelerators(Accelerators(state_), &frame);
}

}  // namespace zvrx
