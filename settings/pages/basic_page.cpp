#include "settings/pages/basic_page.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <initializer_list>
#include <string>

#include "platform/cp932.h"
#include "settings/message_dialogs.h"
#include "settings/message_table.h"
#include "settings/pages/page_window.h"
#include "shared/extension_settings.h"
#include "shared/record_files.h"
#include "shared/transfer_settings.h"

namespace zvrx {

namespace ui = platform::ui;

namespace {

// The status line is three lines high and the counter nine characters
// wide; both are blanked before a progress text goes in.
constexpr char kStatusBlank[] =
    "                              \r\n"
    "                              \r\n"
    "                              ";
constexpr char kCounterBlank[] = "         ";
constexpr char kLineBreak[] = "\r\n";
constexpr char kEmptyLine[] = "\r\n\r\n";

// Message-table numbers of the two drop-down lists' items.
constexpr int kFirstCheckModeString = 1;
constexpr int kFirstInspectionLevelString = 8;
constexpr int kWaitingString = 17;
constexpr int kStoppedString = 19;
constexpr int kNoAccountString = 130;

// Error kind of the first-use notice.
constexpr int kFirstUseErrorKind = 5;

// The fixed text field's contents up to its terminator (never past it).
std::string FieldText(const char* field, size_t size) {
  return std::string(field, strnlen(field, size));
}

// Replaces the field with `text`, zero-filling the rest.
void StoreField(char* field, size_t size, const std::string& text) {
  std::memset(field, 0, size);
  std::memcpy(field, text.data(), std::min(text.size(), size - 1));
}

// What an edit field of 59 characters gives: at most that many bytes, and
// never the first half of a double-byte character.
std::string CutToEditLimit(std::string text) {
  text.resize(platform::Cp932Prefix(text, kAccountEditMax).size());
  return text;
}

// Fills the "%u" fields of a message in order.
std::string FormatReport(const std::string& pattern, std::initializer_list<int> numbers) {
  std::string text;
  auto number = numbers.begin();
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 'u' &&
        number != numbers.end()) {
      text += std::to_string(*number++);
      ++i;
    } else {
      text += pattern[i];
    }
  }
  return text;
}

// Caret after the last character, nothing selected: a field the user comes
// back to continues where its text ends.
void CaretToEnd(ui::Dialog& dialog, int id) {
  const int end = static_cast<int>(dialog.GetItemText(id).size());
  dialog.SetEditSelection(id, end, end);
}

// A stored index outside the list selects nothing.
int ListIndex(int16_t stored, int count) { return stored >= 0 && stored < count ? stored : -1; }

bool SomeAccountUsable(const BasicSettings& basic) {
  for (int n = 0; n < kAccountCount; ++n) {
    if (basic.accounts[n][0] != '\0' && basic.passwords[n][0] != '\0') return true;
  }
  return false;
}

// Bytes 4 and 5 (LaunchFlags) follow the options, not the user's edits.
bool DiffersFromSnapshot(const BasicSettings& basic, const BasicSettings& snapshot) {
  const auto* a = reinterpret_cast<const unsigned char*>(&basic);
  const auto* b = reinterpret_cast<const unsigned char*>(&snapshot);
  constexpr size_t kFlagsStart = offsetof(BasicSettings, launch_flags);
  constexpr size_t kFlagsEnd = kFlagsStart + sizeof(uint16_t);
  return std::memcmp(a, b, kFlagsStart) != 0 ||
         std::memcmp(a + kFlagsEnd, b + kFlagsEnd, sizeof(BasicSettings) - kFlagsEnd) != 0;
}

}  // namespace

namespace {

// The transport choices in the order of the drop-down list: the words of
// ZVRXExt.ini and what the list shows.
struct TransportItem {
  const char* word;
  const char* text;  // UTF-8
};
constexpr TransportItem kTransportItems[] = {
    {"auto", "TLS 自動"}, {"tls", "TLS"}, {"starttls", "STARTTLS"}, {"plain", "暗号化なし"}};
constexpr int kTransportItemCount = 4;

int TransportIndex(const std::string& word) {
  for (int i = 0; i < kTransportItemCount; ++i) {
    if (word == kTransportItems[i].word) return i;
  }
  return 0;
}

}  // namespace

BasicPage::BasicPage(SettingsState& state) : state_(state) {}

BasicPage::~BasicPage() {
  if (state_.basic_page == this) state_.basic_page = nullptr;
}

void BasicPage::Create(ui::Frame& main_frame) {
  SettingsRecords& records = state_.records;
  LoadBasicSettings(records.basic);
  LoadNotifyOptions(records.options);
  LoadJudgmentSettings(records.judgment);
  LoadMailerSettings(records.mailer);
  records.basic.launch_flags = DeriveLaunchFlags(records.options.option_bits);

  state_.basic_page = this;
  const ui::DialogTemplate* page = ui::FindTemplate(state_.resources.dialogs, kBasicDialogId);
  if (page == nullptr) return;
  dialog_ = ui::CreatePage(*page, main_frame, *this);
}

void BasicPage::OnInit(ui::Dialog& dialog) {
  view_ = &dialog;
  // Filling the fields is not the user's first use of the account field.
  filling_ = true;
  const BasicSettings& basic = state_.records.basic;
  dialog.SetEditLimit(kIdAccount, static_cast<int>(kAccountEditMax));
  dialog.SetEditLimit(kIdPassword, static_cast<int>(kAccountEditMax));
  dialog.ComboReset(kIdTransport);
  for (const TransportItem& item : kTransportItems) {
    dialog.ComboAdd(kIdTransport, platform::Utf8ToCp932(item.text));
  }
  ShowAccount(0);

  dialog.ComboReset(kIdCheckMode);
  for (int i = 0; i < kCheckModeCount; ++i) {
    dialog.ComboAdd(kIdCheckMode, MessageString(kFirstCheckModeString + i));
  }
  dialog.ComboSelect(kIdCheckMode, ListIndex(basic.check_mode, kCheckModeCount));
  dialog.ComboReset(kIdInspectionLevel);
  for (int i = 0; i < kInspectionLevelCount; ++i) {
    dialog.ComboAdd(kIdInspectionLevel, MessageString(kFirstInspectionLevelString + i));
  }
  dialog.ComboSelect(kIdInspectionLevel,
                     ListIndex(basic.inspection_level, kInspectionLevelCount));

  SettingsTransfer& transfer = state_.transfer;
  dialog.SetItemText(kIdStatus, kLineBreak + MessageString(transfer.handshake_copy != 0
                                                               ? kWaitingString
                                                               : kStoppedString));
  RefreshCheckButton();

  current_account_ = 0;
  state_.records.judgment.languages_changed = 0;
  dialog.SetItemImage(kIdAccountSwitch, kAccountSwitchBitmapPath);
  filling_ = false;

  // A checker message waiting since before the start is acknowledged below
  // and so dropped; the timer catches whatever follows it.
  if (transfer.handshake_copy > TRAN_IDLE) dialog.SetTimer(kPollTimerId, kPollTimerMs);
  transfer.handshake_copy = TRAN_IDLE;
  Publish(transfer);
}

void BasicPage::ShowAccount(int index) {
  const BasicSettings& basic = state_.records.basic;
  view_->SetItemText(kIdAccount, FieldText(basic.accounts[index], kAccountFieldSize));
  view_->SetItemText(kIdPassword, FieldText(basic.passwords[index], kAccountFieldSize));
  account_text_ = CutToEditLimit(view_->GetItemText(kIdAccount));
  ShowTransport(index);
}

void BasicPage::ShowTransport(int index) {
  if (index < 0 || index >= kAccountCount) return;
  const ExtensionSettings settings = LoadExtensionSettings();
  const bool was_filling = filling_;
  filling_ = true;
  view_->ComboSelect(kIdTransport, TransportIndex(settings.Value(kTransportKeys[index])));
  filling_ = was_filling;
}

// The choice goes into ZVRXExt.ini at once: the checker reads that file at
// every check, so it needs neither the page's save nor a transfer.
void BasicPage::OnTransportChoice(ui::Dialog& dialog) {
  if (filling_) return;
  if (current_account_ < 0 || current_account_ >= kAccountCount) current_account_ = 0;
  const int index = dialog.ComboSelection(kIdTransport);
  if (index >= 0 && index < kTransportItemCount) {
    const char* key = kTransportKeys[current_account_];
    if (LoadExtensionSettings().Value(key) != kTransportItems[index].word) {
      ChangeExtensionSettings({{key, kTransportItems[index].word}});
    }
  }
  // What the list shows is what the file holds, also when it could not be
  // written.
  ShowTransport(current_account_);
  if (!dialog.ComboIsDroppedDown(kIdTransport)) return;
  dialog.ComboShowDropDown(kIdTransport, false);
  if (state_.main_frame != nullptr) state_.main_frame->Focus();
}

bool BasicPage::RefreshCheckButton() {
  if (view_ == nullptr || state_.transfer.local.code == TRAN_STATUS) return false;
  const bool usable = SomeAccountUsable(state_.records.basic);
  view_->EnableItem(kIdCheckButton, usable);
  view_->SetItemText(kIdStatus, StatusText(usable ? kStatusWaiting : kStatusStopped));
  return true;
}

bool BasicPage::AccountTextValid() {
  if (view_ != nullptr) account_text_ = CutToEditLimit(view_->GetItemText(kIdAccount));
  std::string text = account_text_;
  return ValidateAccountText(text);
}

void BasicPage::RestoreAccountText() {
  if (view_ == nullptr) return;
  account_text_ = CutToEditLimit(view_->GetItemText(kIdAccount));
  ValidateAccountText(account_text_);
  if (current_account_ < 0 || current_account_ >= kAccountCount) current_account_ = 0;
  const std::string cleaned = account_text_;
  StoreField(state_.records.basic.accounts[current_account_], kAccountFieldSize, cleaned);
  view_->SetItemText(kIdAccount, cleaned);
  view_->FocusItem(kIdAccount);
}

void BasicPage::OnCommand(ui::Dialog& dialog, int id, int code) {
  switch (id) {
    case kIdAccount:
      OnAccountField(dialog);
      break;
    case kIdPassword:
      OnPasswordField(dialog);
      break;
    case kIdCheckMode:
    case kIdInspectionLevel:
      if (code == ui::kCbnSelChange) OnListChoice(dialog, id);
      break;
    case kIdAccountSwitch:
      if (code == ui::kBnClicked) OnAccountSwitch(dialog);
      break;
    case kIdTransport:
      if (code == ui::kCbnSelChange) OnTransportChoice(dialog);
      break;
    case kIdOptionsButton:
    case kIdWorkLogButton:
      if (code != ui::kBnClicked) break;
      if (!AccountTextValid()) {
        RestoreAccountText();
      } else {
        OpenPage(state_, id == kIdOptionsButton ? PageKind::kOptions : PageKind::kWorkLog);
      }
      break;
    case kIdCheckButton:
      if (code == ui::kBnClicked) PressCheck();
      break;
    default:
      break;
  }
}

void BasicPage::OnAccountField(ui::Dialog& dialog) {
  if (filling_) return;
  if (!account_edited_) {
    // Marked first: the notice's own focus changes notify this field again.
    account_edited_ = true;
    state_.account_field_used = true;
    if (!SomeAccountUsable(state_.records.basic)) {
      ShowMessageDialog(state_, MessageDialogKind::kNotice, ErrorText(kFirstUseErrorKind),
                        nullptr);
    }
  }
  state_.current_edit_control = kIdAccount;
  if (current_account_ < 0 || current_account_ >= kAccountCount) current_account_ = 0;
  account_text_ = CutToEditLimit(dialog.GetItemText(kIdAccount));
  if (dialog.IsEditModified(kIdAccount)) {
    StoreField(state_.records.basic.accounts[current_account_], kAccountFieldSize,
               account_text_);
    state_.changed_marks |= kChangedBasic;
    RefreshCheckButton();
  } else {
    CaretToEnd(dialog, kIdAccount);
  }
}

void BasicPage::OnPasswordField(ui::Dialog& dialog) {
  if (filling_) return;
  state_.current_edit_control = kIdPassword;
  if (current_account_ < 0 || current_account_ >= kAccountCount) current_account_ = 0;
  if (dialog.IsEditModified(kIdPassword)) {
    StoreField(state_.records.basic.passwords[current_account_], kAccountFieldSize,
               CutToEditLimit(dialog.GetItemText(kIdPassword)));
    state_.changed_marks |= kChangedBasic;
    RefreshCheckButton();
  } else {
    CaretToEnd(dialog, kIdPassword);
  }
}

void BasicPage::OnListChoice(ui::Dialog& dialog, int id) {
  // Every choice of the user is kept, also one made with the keys on the
  // closed list: the page must never show a mode it did not store.
  const int index = dialog.ComboSelection(id);
  const int count = id == kIdCheckMode ? kCheckModeCount : kInspectionLevelCount;
  if (index >= 0 && index < count) {
    BasicSettings& basic = state_.records.basic;
    (id == kIdCheckMode ? basic.check_mode : basic.inspection_level) =
        static_cast<int16_t>(index);
    state_.changed_marks |= kChangedBasic;
  }
  if (!dialog.ComboIsDroppedDown(id)) return;
  dialog.ComboShowDropDown(id, false);
  if (state_.main_frame != nullptr) state_.main_frame->Focus();
}

void BasicPage::OnAccountSwitch(ui::Dialog& dialog) {
  if (!AccountTextValid()) {
    RestoreAccountText();
    return;
  }
  if (current_account_ < 0 || current_account_ >= kAccountCount) current_account_ = 0;
  current_account_ = (current_account_ + 1) % kAccountCount;
  ShowAccount(current_account_);
  state_.changed_marks |= kChangedBasic;
  dialog.RedrawItem(kIdAccountSwitch);
}

const ui::PixelRect* BasicPage::OwnerRect() {
  if (state_.main_frame == nullptr) return nullptr;
  owner_rect_ = state_.main_frame->Rect();
  return &owner_rect_;
}

void BasicPage::PressCheck() {
  if (view_ == nullptr) return;
  view_->KillTimer(kPollTimerId);
  for (int kind = 0; kind < kPageKindCount; ++kind) {
    if (PageOpen(state_, static_cast<PageKind>(kind))) return;
  }

  BasicSettings& basic = state_.records.basic;
  basic.account_mask = AccountMaskForCheck(basic);
  if (basic.account_mask == 0) {
    ShowMessageDialog(state_, MessageDialogKind::kOk, MessageString(kNoAccountString),
                      OwnerRect());
    return;
  }
  if (!AccountTextValid()) {
    RestoreAccountText();
    return;
  }

  if ((state_.changed_marks & kChangedBasic) != 0 &&
      DiffersFromSnapshot(basic, state_.snapshots.basic)) {
    const int answer = AskSaveQuestion(state_, PageNameBasic(), OwnerRect());
    if (answer == kResultYes) {
      SaveBasicSettings(basic);
      state_.snapshots.basic = basic;
      state_.changed_marks &= static_cast<uint8_t>(~kChangedBasic);
    } else if (answer == kResultNo) {
      basic = state_.snapshots.basic;
      view_->ComboSelect(kIdCheckMode, ListIndex(basic.check_mode, kCheckModeCount));
      view_->ComboSelect(kIdInspectionLevel,
                         ListIndex(basic.inspection_level, kInspectionLevelCount));
      if (current_account_ < 0 || current_account_ >= kAccountCount) current_account_ = 0;
      ShowAccount(current_account_);
      state_.snapshots.basic = basic;
      state_.changed_marks &= static_cast<uint8_t>(~kChangedBasic);
      // While a progress report is on show the check goes ahead.
      if (RefreshCheckButton()) {
        view_->Focus();
        return;
      }
    } else {
      view_->Focus();
      return;
    }
  }

  SendSettings(state_.transfer, true);
  state_.records.judgment.languages_changed = 0;
  view_->Focus();
  view_->SetTimer(kPollTimerId, kPollTimerMs);
}

void BasicPage::OnTimer(ui::Dialog& /*dialog*/, int timer_id) {
  if (timer_id != kPollTimerId) return;
  PollBlock(state_.transfer, [this](const TransferHeader& header) { ShowReport(header); });
}

void BasicPage::ShowReport(const TransferHeader& header) {
  if (view_ == nullptr) return;
  const int p1 = header.p1, p3 = header.p3, p4 = header.p4;
  switch (header.code) {
    case kTranStartupError:
      ShowMessageDialog(state_, MessageDialogKind::kOk, ErrorText(p1), OwnerRect());
      break;
    case kTranNoAccount:
      ShowMessageDialog(state_, MessageDialogKind::kOk, MessageString(kTranNoAccount),
                        OwnerRect());
      break;
    case kTranUserRejected:
      ShowMessageDialog(state_, MessageDialogKind::kNotice,
                        FormatReport(MessageString(kTranUserRejected), {p4}), OwnerRect());
      break;
    case kTranPasswordRejected:
    case kTranServerUnreachable:
    case kTranCertificateRefused:
    case kTranNoSecureConnection:
    case kTranPlainRefused:
      ShowMessageDialog(state_, MessageDialogKind::kNotice,
                        FormatReport(MessageString(header.code), {p1}), OwnerRect());
      break;
    case kTranManualNewMail: {
      view_->KillTimer(kPollTimerId);
      const int answer = ShowMessageDialog(
          state_, MessageDialogKind::kYesNo,
          FormatReport(MessageString(kTranManualNewMail), {p3, p4, p3 - p4}), OwnerRect());
      SendAnswer(state_.transfer, answer == kResultYes);
      ResetStatus();
      view_->SetTimer(kPollTimerId, kPollTimerMs);
      break;
    }
    case kTranNothingToExamine:
      view_->KillTimer(kPollTimerId);
      ShowMessageDialog(state_, MessageDialogKind::kOk, MessageString(kTranNothingToExamine),
                        OwnerRect());
      ResetStatus();
      break;
    case kTranCheckComplete:
      view_->KillTimer(kPollTimerId);
      ShowMessageDialog(state_, MessageDialogKind::kOk,
                        FormatReport(MessageString(kTranCheckComplete), {p3, p4}), OwnerRect());
      ResetStatus();
      break;
    case kTranNewMailRemains:
      view_->KillTimer(kPollTimerId);
      ShowMessageDialog(state_, MessageDialogKind::kOk,
                        FormatReport(MessageString(kTranNewMailRemains), {p3, p4, p3 - p4}),
                        OwnerRect());
      ResetStatus();
      break;
    case TRAN_STATUS:
      ShowProgress(header);
      break;
    default:
      break;
  }
}

void BasicPage::ShowProgress(const TransferHeader& header) {
  const int kind = header.p1, account = header.p4;
  const bool account_known = account >= 1 && account <= kAccountCount;
  std::string text = StatusText(kind);
  std::string counter;
  auto account_text = [&] {
    return FieldText(state_.records.basic.accounts[account - 1], kAccountFieldSize);
  };
  if (kind == kStatusLookingUp && account_known) {
    text += kEmptyLine + account_text();
  } else if (kind < kStatusConfirming) {
    view_->FocusItem(kIdCheckButton);
  } else {
    if (account_known) text += kEmptyLine + account_text();
    counter = std::to_string(header.p3) + "/" + std::to_string(header.p2);
  }
  view_->SetItemText(kIdStatus, kStatusBlank);
  view_->SetItemText(kIdCounter, kCounterBlank);
  view_->SetItemText(kIdStatus, text);
  if (!counter.empty()) view_->SetItemText(kIdCounter, counter);
  if (kind == kStatusWaiting) view_->KillTimer(kPollTimerId);
}

void BasicPage::ResetStatus() {
  if (view_ == nullptr) return;
  view_->SetItemText(kIdStatus, kStatusBlank);
  view_->SetItemText(kIdCounter, kCounterBlank);
  view_->SetItemText(kIdStatus, StatusText(kStatusWaiting));
  view_->FocusItem(kIdCheckButton);
}

void BasicPage::RecomputeAccountMaskForClose() {
  state_.records.basic.account_mask = AccountMaskOnClose(state_.records.basic);
}

void BasicPage::OnEditCommand(int command) {
  const int id = state_.current_edit_control;
  if (view_ == nullptr || id == 0) return;
  RunEditCommand(*view_, id, command);
}

// The items follow the account field.
void BasicPage::OnEditMenuOpening(ui::Frame& frame) {
  if (view_ == nullptr) return;
  EnableEditMenu(frame, *view_, kIdAccount);
}

}  // namespace zvrx
