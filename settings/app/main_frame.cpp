#include "settings/app/main_frame.h"

#include <cstddef>
#include <cstring>
#include <utility>

#include "platform/process.h"
#include "platform/ui/test_hooks.h"
#include "settings/message_dialogs.h"
#include "settings/message_table.h"
#include "settings/model/window_placement.h"
#include "settings/pages/page_window.h"
#include "shared/locations.h"
#include "shared/record_files.h"

namespace zvrx {

namespace {

namespace ui = platform::ui;

// The basic page's dialog size in dialog units.
constexpr int kBasicWidthUnits = 195;
constexpr int kBasicHeightUnits = 188;
// The Edit menu of the main menu.
constexpr int kEditMenuPosition = 1;

// Bytes 4 and 5 (LaunchFlags) follow the options, not the user's edits.
constexpr size_t kLaunchFlagsOffset = 4;
constexpr size_t kLaunchFlagsSize = 2;

bool BasicChangedSinceSnapshot(const BasicSettings& record, const BasicSettings& snapshot) {
  const auto* a = reinterpret_cast<const unsigned char*>(&record);
  const auto* b = reinterpret_cast<const unsigned char*>(&snapshot);
  constexpr size_t kAfterFlags = kLaunchFlagsOffset + kLaunchFlagsSize;
  return std::memcmp(a, b, kLaunchFlagsOffset) != 0 ||
         std::memcmp(a + kAfterFlags, b + kAfterFlags, sizeof(BasicSettings) - kAfterFlags) != 0;
}

// The pages the program's close asks, in order, with their changed marks.
struct AskedPage {
  PageKind kind;
  uint8_t mark;
};
constexpr AskedPage kAskedPages[] = {
    {PageKind::kOptions, kChangedOptions},
    {PageKind::kJudgment, kChangedJudgment},
    {PageKind::kAcceptanceList, kChangedAcceptanceList},
    {PageKind::kRejectionList, kChangedRejectionList},
};

const ui::AcceleratorTable* Accelerators(const SettingsState& state) {
  return ui::FindAccelerators(state.resources.accelerators, kAcceleratorsId);
}

}  // namespace

MainFrame::MainFrame(SettingsState& state, std::function<void(int)> quit)
    : state_(state), quit_(std::move(quit)) {}

MainFrame::~MainFrame() {
  if (ui::AcceleratorTarget() == frame_.get()) ui::SetAccelerators(nullptr, nullptr);
  if (state_.basic_page == basic_page_.get()) state_.basic_page = nullptr;
  if (state_.main_frame == frame_.get()) state_.main_frame = nullptr;
  // The page's dialog lives inside the frame: it goes first.
  basic_page_.reset();
  frame_.reset();
}

void MainFrame::Create() {
  state_.install_root = InstallRoot();
  // A fresh local header; the handshake byte copy stays 0 without a checker.
  state_.transfer.local = TransferHeader{TRAN_IDLE, 0, 0, 0, 0};
  ReadBlock(state_.transfer);
  state_.changed_marks = 0;
  for (auto& page : state_.pages) page.reset();

  const ui::SystemMetrics metrics = ui::Metrics();
  const PixelSize size = WindowSize(kBasicWidthUnits, kBasicHeightUnits, true, metrics);
  ui::FrameParams params;
  params.window_class = kMainFrameClass;
  params.title = kMainFrameTitle;
  params.menu = ui::FindMenu(state_.resources.menus, kMainMenuId);
  params.width = size.width;
  params.height = size.height;
  params.icon_path = kSettingsIconPath;
  frame_ = ui::CreateFrame(params, *this);
  state_.main_frame = frame_.get();

  const PixelPoint home = PlaceWindow(metrics, frame_->Rect(), ui::PixelRect{}, 0);
  frame_->Move(home.x, home.y);

  basic_page_ = std::make_unique<BasicPage>(state_);
  state_.basic_page = basic_page_.get();
  basic_page_->Create(*frame_);
}

void MainFrame::Show() {
  ui::SetAccelerators(Accelerators(state_), frame_.get());
  frame_->Show();
}

bool MainFrame::CloseProgram() {
  if (closed_) return true;
  if (!basic_page_->AccountTextValid()) {
    basic_page_->RestoreAccountText();
    return false;
  }
  basic_page_->RecomputeAccountMaskForClose();

  for (const AskedPage& asked : kAskedPages) {
    if (!PageOpen(state_, asked.kind) || (state_.changed_marks & asked.mark) == 0) continue;
    ClosePage(state_, asked.kind);
    // Still open and still changed: its question was cancelled.
    if (PageOpen(state_, asked.kind) && (state_.changed_marks & asked.mark) != 0) return false;
  }

  if ((state_.changed_marks & kChangedBasic) != 0 &&
      BasicChangedSinceSnapshot(state_.records.basic, state_.snapshots.basic)) {
    const ui::PixelRect owner = frame_->Rect();
    const int answer = AskSaveQuestion(state_, PageNameBasic(), &owner);
    if (answer == kResultYes) {
      SaveBasicSettings(state_.records.basic);
      SendSettings(state_.transfer, false);
    } else if (answer == kResultNo) {
      state_.records.basic = state_.snapshots.basic;
    } else {
      frame_->Focus();
      return false;
    }
  }
  End();
  return true;
}

void MainFrame::EndWithoutQuestions() {
  if (!closed_) End();
}

void MainFrame::End() {
  closed_ = true;
  ui::SetAccelerators(nullptr, nullptr);
  // Windows go when the loop has ended; one of their events may still be
  // on the stack (a dialog that was up when the end came).
  for (auto& page : state_.pages) {
    if (page != nullptr) page->frame().Hide();
  }
  frame_->Hide();
  quit_(0);
}

void MainFrame::OnCommand(ui::Frame& frame, int id, int /*source*/) {
  if (closed_) return;
  switch (id) {
    case kCmdOptions:
      OpenPage(state_, PageKind::kOptions);
      return;
    case kCmdJudgment:
      OpenPage(state_, PageKind::kJudgment);
      return;
    case kCmdAcceptanceList:
      OpenPage(state_, PageKind::kAcceptanceList);
      return;
    case kCmdRejectionList:
      OpenPage(state_, PageKind::kRejectionList);
      return;
    case kCmdWorkLog:
      OpenPage(state_, PageKind::kWorkLog);
      return;
    case kCmdBasic:
      frame.Focus();
      return;
    case kCmdExit:
      CloseProgram();
      return;
    case kCmdUndo:
    case kCmdCopy:
    case kCmdPaste:
    case kCmdCut:
      basic_page_->OnEditCommand(id);
      return;
    case kCmdHelp: {
      // The viewer gets none of this program's test channels; a help
      // viewer that does not start is not reported.
      const ui::TestChannelsHiddenFromChildren hidden;
      platform::StartProgram(state_.install_root + kHelpProgram);
      return;
    }
    default:
      return;
  }
}

void MainFrame::OnMenuPopup(ui::Frame& frame, int position) {
  if (!closed_ && position == kEditMenuPosition) basic_page_->OnEditMenuOpening(frame);
}

void MainFrame::OnClose(ui::Frame& /*frame*/) { CloseProgram(); }

void MainFrame::OnPaint(ui::Frame& frame) {
  if (!closed_) ui::SetAccelerators(Accelerators(state_), &frame);
}

void MainFrame::OnEnter(ui::Frame& /*frame*/) {
  if (closed_) return;
  if (basic_page_->AccountTextValid()) {
    basic_page_->PressCheck();
  } else {
    basic_page_->RestoreAccountText();
  }
}

}  // namespace zvrx
