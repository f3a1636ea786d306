// The settings program's state: one instance, owned by the GUI thread and
// passed by reference to the frame, the pages and the message dialogs.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/dialog_template.h"
#include "platform/ui/menu_template.h"
#include "platform/ui/window.h"
#include "shared/records.h"
#include "shared/transfer_settings.h"

namespace zvrx {

// The five page windows besides the main frame, in the order the program's
// close asks them (the work log is never asked).
enum class PageKind { kOptions, kJudgment, kAcceptanceList, kRejectionList, kWorkLog };
inline constexpr int kPageKindCount = 5;

// Changed marks, one bit per page.
inline constexpr uint8_t kChangedBasic = 1u << 0;
inline constexpr uint8_t kChangedOptions = 1u << 1;
inline constexpr uint8_t kChangedJudgment = 1u << 2;
inline constexpr uint8_t kChangedAcceptanceList = 1u << 3;
inline constexpr uint8_t kChangedRejectionList = 1u << 4;

// Menu and accelerator commands.
inline constexpr int kCmdOptions = 40001;
inline constexpr int kCmdJudgment = 40002;
inline constexpr int kCmdBasic = 40003;
inline constexpr int kCmdAcceptanceList = 40004;
inline constexpr int kCmdRejectionList = 40005;
inline constexpr int kCmdWorkLog = 40006;
inline constexpr int kCmdExit = 40007;
inline constexpr int kCmdUndo = 40008;
inline constexpr int kCmdCopy = 40009;
inline constexpr int kCmdPaste = 40010;
inline constexpr int kCmdCut = 40011;
inline constexpr int kCmdClosePage = 40012;
inline constexpr int kCmdHelp = 40017;

// Resource ids.
inline constexpr int kMainMenuId = 105;
inline constexpr int kPageMenuId = 120;
inline constexpr int kAcceleratorsId = 128;
inline constexpr int kBasicDialogId = 101;
inline constexpr int kJudgmentDialogId = 106;
inline constexpr int kOptionsDialogId = 107;
inline constexpr int kListDialogId = 109;
inline constexpr int kLogDialogId = 110;
inline constexpr int kNoticeDialogId = 116;
inline constexpr int kEuropeanDialogId = 130;
// The three message dialogs that carry names instead of numbers in the
// resources ("IDD_DIALOGOK", "IDD_DIALOGOK_NO", "IDD_DIALOGOK_NO_CANCEL").
inline constexpr int kDialogOkId = 140;
inline constexpr int kDialogOkNoId = 141;
inline constexpr int kDialogOkNoCancelId = 142;

// The resource folder compiled into the program.
inline constexpr char kSettingsResourceFolder[] = ":/settings";
// Window icon (resource 104) and the account switch's bitmap (111).
inline constexpr char kSettingsIconPath[] = ":/settings/icon_104.png";
inline constexpr char kAccountSwitchBitmapPath[] = ":/settings/bitmap_111.png";

// Dialogs, menus and accelerators of the program, loaded once.
struct SettingsResources {
  std::vector<platform::ui::DialogTemplate> dialogs;
  std::vector<platform::ui::MenuTemplate> menus;
  std::vector<platform::ui::AcceleratorTable> accelerators;
};
// Loads every resource file of `folder`; false (with `error`) on a bad one.
bool LoadSettingsResources(std::string_view folder, SettingsResources& resources,
                           std::string* error);

// What the other pages need of the basic page (its account-text rule).
class BasicPageAccess {
 public:
  virtual ~BasicPageAccess() = default;
  // ValidateAccountText on the field's current text, without changing it.
  virtual bool AccountTextValid() = 0;
  // Puts the cleaned text back into the field and the record, focuses it.
  virtual void RestoreAccountText() = 0;
};

class PageWindow;

struct SettingsState {
  // Out of line: the open pages' windows are complete types only there.
  explicit SettingsState(const SettingsResources& program_resources);
  ~SettingsState();
  SettingsState(const SettingsState&) = delete;
  SettingsState& operator=(const SettingsState&) = delete;

  const SettingsResources& resources;

  // The four records and their snapshots (taken when a page opens or saves).
  SettingsRecords records;
  SettingsRecords snapshots;
  SettingsTransfer transfer{records};

  uint8_t changed_marks = 0;
  std::string install_root;  // "C:\Program Files\ZVRX\", CP932

  // The main frame and the basic page; null before start-up and after the end.
  platform::ui::Frame* main_frame = nullptr;
  BasicPageAccess* basic_page = nullptr;
  // Open pages by PageKind; a page is open exactly when its entry is set.
  std::array<std::unique_ptr<PageWindow>, kPageKindCount> pages;

  // The basic page's edit control the main frame's Edit menu acts on.
  int current_edit_control = 0;
  // Set once the basic page's account field has reported anything: the
  // notice dialog is then centred over its owner instead of the screen.
  bool account_field_used = false;
  // One file dialog at a time, over all pages.
  bool file_dialog_open = false;
};

inline bool PageOpen(const SettingsState& state, PageKind kind) {
  return state.pages[static_cast<int>(kind)] != nullptr;
}

}  // namespace zvrx
