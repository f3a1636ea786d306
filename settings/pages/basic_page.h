// The basic settings page (dialog 101) inside the main frame: accounts and
// passwords, check mode and inspection level, the status line that follows
// the checker, "検査", and the display of every report the checker posts.
#pragma once

#include <string>
#include <string_view>

#include "platform/ui/window.h"
#include "settings/model/account_text.h"
#include "settings/settings_state.h"

namespace zvrx {

// Control ids of dialog 101.
inline constexpr int kIdWorkLogButton = 1000;
inline constexpr int kIdAccount = 1002;
inline constexpr int kIdPassword = 1003;
inline constexpr int kIdCheckMode = 1004;
inline constexpr int kIdInspectionLevel = 1005;
inline constexpr int kIdStatus = 1028;
inline constexpr int kIdOptionsButton = 1029;
inline constexpr int kIdCheckButton = 1030;
inline constexpr int kIdAccountSwitch = 1033;
inline constexpr int kIdCounter = 1067;
// The transport of the account shown (ZVRXExt.ini tls1..tls3), beyond the
// written page.
inline constexpr int kIdTransport = 1080;

// The poll timer of the transfer block.
inline constexpr int kPollTimerId = 1;
inline constexpr int kPollTimerMs = 100;

class BasicPage : public platform::ui::DialogEvents, public BasicPageAccess {
 public:
  explicit BasicPage(SettingsState& state);
  ~BasicPage() override;

  // Loads the records and builds dialog 101 inside the main frame.
  void Create(platform::ui::Frame& main_frame);
  platform::ui::Dialog& dialog() { return *dialog_; }

  // "検査" or Enter in the main frame.
  void PressCheck();
  // The report display called by PollBlock.
  void ShowReport(const TransferHeader& header);
  bool RefreshCheckButton();
  void ResetStatus();
  // Account mask as the program's close recomputes it: bit n set when
  // account n+1 is not empty, cleared when it is empty.
  void RecomputeAccountMaskForClose();

  // BasicPageAccess.
  bool AccountTextValid() override;
  void RestoreAccountText() override;

  // The main frame's Edit menu.
  void OnEditCommand(int command);
  void OnEditMenuOpening(platform::ui::Frame& frame);

  // DialogEvents.
  void OnInit(platform::ui::Dialog& dialog) override;
  void OnCommand(platform::ui::Dialog& dialog, int id, int code) override;
  void OnTimer(platform::ui::Dialog& dialog, int timer_id) override;

  int current_account() const { return current_account_; }

 private:
  void ShowAccount(int index);
  void OnAccountField(platform::ui::Dialog& dialog);
  void OnPasswordField(platform::ui::Dialog& dialog);
  void OnListChoice(platform::ui::Dialog& dialog, int id);
  void OnAccountSwitch(platform::ui::Dialog& dialog);
  void ShowTransport(int index);
  void OnTransportChoice(platform::ui::Dialog& dialog);
  void ShowProgress(const TransferHeader& header);
  // The main frame's rectangle, which owns every dialog of the page.
  const platform::ui::PixelRect* OwnerRect();

  SettingsState& state_;
  std::unique_ptr<platform::ui::Dialog> dialog_;
  // The page's dialog from its creation on (dialog_ is set only once
  // CreatePage has returned, after OnInit).
  platform::ui::Dialog* view_ = nullptr;
  // Set while the page fills its own fields at creation.
  bool filling_ = false;
  platform::ui::PixelRect owner_rect_;
  int current_account_ = 0;
  std::string account_text_;  // the account-text buffer
  bool account_edited_ = false;
};

}  // namespace zvrx
