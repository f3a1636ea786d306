// The basic settings page offscreen, in-process, against a real transfer
// block made as the checker makes it: the first-use notice, the account
// rule, the check start with its save question, progress in the status
// line and the dialog of every report.
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/cp932.h"
#include "platform/ui/transcript.h"
#include "platform/ui/window.h"
#include "settings/pages/basic_page.h"
#include "settings/pages/page_window.h"  // completes SettingsState
#include "shared/extension_settings.h"
#include "settings/message_dialogs.h"
#include "settings/message_table.h"
#include "shared/record_files.h"
#include "shared/transfer_checker.h"
#include "shared/transfer_settings.h"
#include "tests/gui/page_fixture.h"
#include "tests/support/fake_clock.h"
#include "tests/support/sjis.h"
#include "tests/support/temp_prefix.h"

namespace zvrx {
namespace {

namespace ui = platform::ui;

using test::Sjis;

// The text fields of each message dialog, in order.
std::vector<int> LineFields(int template_id) {
  switch (template_id) {
    case kDialogOkId:
      return {1081, 1082, 1083, 1084};
    case kNoticeDialogId:
      return {1101, 1102, 1103};
    case kDialogOkNoId:
      return {1091, 1092, 1093, 1094, 1095};
    case kDialogOkNoCancelId:
      return {1061};
    default:
      return {};
  }
}

// A modal dialog as it stood when its answer was pressed: its template and
// its line fields, empty ones at the end left out.
struct SeenDialog {
  int id = 0;
  std::vector<std::string> lines;
};

// Answers the modal dialogs from a script and notes each one. A dialog the
// script has no answer for is closed as a failure, so no test hangs.
class ModalScript {
 public:
  explicit ModalScript(std::vector<std::string> answers) : answer_count_(answers.size()) {
    ui::SetScriptedAnswers(answers);
    ui::SetModalObserver([this](ui::Dialog& dialog) {
      SeenDialog seen{dialog.TemplateId(), {}};
      for (int id : LineFields(seen.id)) seen.lines.push_back(dialog.GetItemText(id));
      while (!seen.lines.empty() && seen.lines.back().empty()) seen.lines.pop_back();
      seen_.push_back(seen);
      if (seen_.size() > answer_count_) {
        ADD_FAILURE() << "unexpected dialog " << seen.id;
        dialog.EndDialog(ui::kIdCancel);
      }
    });
  }
  ~ModalScript() {
    ui::SetModalObserver(nullptr);
    ui::SetScriptedAnswers({});
  }
  const std::vector<SeenDialog>& seen() const { return seen_; }

 private:
  size_t answer_count_;
  std::vector<SeenDialog> seen_;
};

void SetField(char* field, const std::string& text) {
  std::memset(field, 0, kAccountFieldSize);
  std::memcpy(field, text.data(), std::min(text.size(), kAccountFieldSize - 1));
}

std::string Field(const char* field) { return std::string(field, strnlen(field, kAccountFieldSize)); }

class BasicPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(test::LoadGuiResources(resources_));
    ASSERT_TRUE(CreateBlock(checker_)) << "the checker's block";
  }
  void TearDown() override {
    page_.reset();
    frame_.reset();
  }

  // Stores the basic settings file as zvrxctl would.
  void StoreAccounts(std::vector<std::pair<std::string, std::string>> accounts) {
    BasicSettings basic{};
    for (size_t n = 0; n < accounts.size(); ++n) {
      SetField(basic.accounts[n], accounts[n].first);
      SetField(basic.passwords[n], accounts[n].second);
    }
    ASSERT_TRUE(SaveBasicSettings(basic));
  }

  // The program's start-up: the frame reads the block, the page loads the
  // records and builds itself, the program takes the snapshot.
  void Open() {
    ReadBlock(state_.transfer);
    ui::FrameParams params{"ZvrxDlg", "Mail Zevrox", ui::FindMenu(resources_.menus, kMainMenuId), 350,
                       400, ""};
    frame_ = ui::CreateFrame(params, frame_events_);
    state_.main_frame = frame_.get();
    page_ = std::make_unique<BasicPage>(state_);
    page_->Create(*frame_);
    state_.snapshots.basic = state_.records.basic;
    frame_->Show();
  }

  ui::Dialog& dialog() { return page_->dialog(); }

  TransferHeader BlockHeader() {
    TransferHeader header{};
    CopyFromBlock(checker_.block->data(), 0, &header, sizeof header);
    return header;
  }
  BasicSettings BlockBasic() {
    BasicSettings basic{};
    CopyFromBlock(checker_.block->data(), offsetof(TransferBlock, basic), &basic, sizeof basic);
    return basic;
  }
  void SetBlockHeader(const TransferHeader& header) {
    CopyToBlock(checker_.block->data(), 0, &header, sizeof header);
  }

  test::TempPrefix prefix_;
  // The block's waits cost no time.
  test::FakeClock clock_;
  test::ScopedClock scoped_clock_{clock_};
  CheckerTransfer checker_;
  SettingsResources resources_;
  SettingsState state_{resources_};
  ui::FrameEvents frame_events_;
  std::unique_ptr<ui::Frame> frame_;
  std::unique_ptr<BasicPage> page_;
};

TEST_F(BasicPageTest, CreationFillsFieldsListsAndDeliversTheRecordsToAnIdleBlock) {
  StoreAccounts({{"taro@127.0.0.1", "taro-pw"}});
  NotifyOptions options{};
  options.option_bits = kOptAutoStartMailer | kOptManualStartMailer;
  ASSERT_TRUE(SaveNotifyOptions(options));
  Open();

  EXPECT_EQ(dialog().GetItemText(kIdAccount), "taro@127.0.0.1");
  EXPECT_EQ(dialog().GetItemText(kIdPassword), "taro-pw");
  EXPECT_EQ(dialog().ComboSelection(kIdCheckMode), 0);
  EXPECT_EQ(dialog().ComboSelection(kIdInspectionLevel), 0);
  EXPECT_EQ(dialog().GetItemText(kIdStatus), Sjis("待機しています。"));
  EXPECT_TRUE(dialog().IsItemEnabled(kIdCheckButton));
  EXPECT_EQ(state_.records.basic.launch_flags, 3);
  EXPECT_FALSE(dialog().TimerRunning(kPollTimerId));
  // The idle block received the records with code 1.
  EXPECT_EQ(BlockHeader().code, TRAN_IDLE);
  EXPECT_EQ(Field(BlockBasic().passwords[0]), "taro-pw");
  EXPECT_EQ(BlockBasic().launch_flags, 3);
}

TEST_F(BasicPageTest, WaitingCheckerMessageIsDroppedAndThePollTimerStarts) {
  StoreAccounts({{"taro@127.0.0.1", "taro-pw"}});
  SetBlockHeader({kTranCheckComplete, 0, 0, 4, 1});
  {
    ModalScript script({});
    Open();
    EXPECT_TRUE(script.seen().empty());
  }
  EXPECT_TRUE(dialog().TimerRunning(kPollTimerId));
  EXPECT_EQ(checker_.block->data()[kHandshakeByte], TRAN_IDLE);
}

TEST_F(BasicPageTest, FirstUseNoticeIsShownOnceAndOnlyWithoutAUsableAccount) {
  ModalScript script({"OK"});
  Open();
  EXPECT_TRUE(script.seen().empty()) << "filling the fields is no use of the field";
  dialog().UserFocus(kIdAccount);
  dialog().UserType(kIdAccount, "taro@127.0.0.1");
  dialog().UserFocus(kIdPassword);
  dialog().UserFocus(kIdAccount);
  ASSERT_EQ(script.seen().size(), 1u);
  EXPECT_EQ(script.seen()[0].id, kNoticeDialogId);
  EXPECT_EQ(script.seen()[0].lines,
            (std::vector<std::string>{Sjis("有効なアカウントが設定されていません。"),
                                      Sjis("少なくとも一つは設定して下さい。")}));
  EXPECT_TRUE(state_.account_field_used);
  EXPECT_EQ(state_.current_edit_control, kIdAccount);
}

TEST_F(BasicPageTest, NoNoticeWhenAnAccountIsUsable) {
  StoreAccounts({{"taro@127.0.0.1", "taro-pw"}});
  Open();
  ModalScript script({});
  dialog().UserFocus(kIdAccount);
  dialog().UserType(kIdAccount, "jiro@127.0.0.1");
  EXPECT_TRUE(script.seen().empty());
  EXPECT_TRUE(state_.account_field_used);
}

// A field the user comes back to, unedited, has its caret after the text
// and nothing selected.
TEST_F(BasicPageTest, UneditedFieldPutsTheCaretAtTheEndWhenItNotifies) {
  StoreAccounts({{"taro@127.0.0.1", "taro-pw"}});
  Open();
  ModalScript script({});
  for (int id : {kIdAccount, kIdPassword}) {
    SCOPED_TRACE(id);
    const int end = static_cast<int>(dialog().GetItemText(id).size());
    dialog().SetEditSelection(id, 0, 4);
    dialog().UserFocus(id);
    int start = -1, stop = -1;
    dialog().GetEditSelection(id, start, stop);
    EXPECT_EQ(start, end);
    EXPECT_EQ(stop, end);
  }
}

// "検査" needs an account with its password; the status line says so.
TEST_F(BasicPageTest, AccountWithoutPasswordKeepsCheckDisabledAndStopped) {
  ModalScript script({"OK"});  // the first-use notice
  Open();
  dialog().UserType(kIdAccount, "taro@127.0.0.1");
  EXPECT_FALSE(dialog().IsItemEnabled(kIdCheckButton));
  EXPECT_EQ(dialog().GetItemText(kIdStatus), Sjis("停止しています。"));
  EXPECT_EQ(Field(state_.records.basic.accounts[0]), "taro@127.0.0.1");
  EXPECT_TRUE(state_.changed_marks & kChangedBasic);

  dialog().UserType(kIdPassword, "pw");
  EXPECT_TRUE(dialog().IsItemEnabled(kIdCheckButton));
  EXPECT_EQ(dialog().GetItemText(kIdStatus), Sjis("待機しています。"));
  EXPECT_EQ(Field(state_.records.basic.passwords[0]), "pw");
}

// The edit fields take 59 bytes; a longer password loaded from the file
// leaves no stale bytes behind once the field is edited.
TEST_F(BasicPageTest, FieldsStoreAtMostFiftyNineBytesAndClearTheSlot) {
  StoreAccounts({{"taro@127.0.0.1", std::string(80, 'p')}});
  Open();
  ModalScript script({});
  for (size_t typed : {58u, 59u, 60u}) {
    SCOPED_TRACE(typed);
    dialog().UserType(kIdAccount, std::string(typed, 'a'));
    dialog().UserType(kIdPassword, std::string(typed, 'b'));
    const size_t kept = std::min<size_t>(typed, kAccountEditMax);
    const BasicSettings& basic = state_.records.basic;
    EXPECT_EQ(Field(basic.accounts[0]), std::string(kept, 'a'));
    EXPECT_EQ(Field(basic.passwords[0]), std::string(kept, 'b'));
    for (size_t i = kept; i < kAccountFieldSize; ++i) {
      ASSERT_EQ(basic.passwords[0][i], 0) << "byte " << i;
    }
  }
}

TEST_F(BasicPageTest, FullWidthCharacterIsRemovedWithBothBytesAndNothingIsSent) {
  StoreAccounts({{"taro@127.0.0.1", "taro-pw"}});
  Open();
  ModalScript script({});
  // "あ" is 0x82 0xA0: the trail byte is no ASCII either.
  dialog().UserType(kIdAccount, "taro" + Sjis("あ") + "@127.0.0.1");
  dialog().UserClick(kIdCheckButton);
  EXPECT_TRUE(script.seen().empty());
  EXPECT_EQ(dialog().GetItemText(kIdAccount), "taro@127.0.0.1");
  EXPECT_EQ(Field(state_.records.basic.accounts[0]), "taro@127.0.0.1");
  EXPECT_EQ(dialog().FocusedItem(), kIdAccount);
  EXPECT_EQ(BlockHeader().code, TRAN_IDLE) << "no delivery";
  EXPECT_FALSE(dialog().TimerRunning(kPollTimerId));
}

TEST_F(BasicPageTest, CheckWithoutUsableAccountShowsMessage130AndSendsNothing) {
  StoreAccounts({{"taro@127.0.0.1", ""}});
  // The message, then the first-use notice once the focus is back in the
  // account field.
  ModalScript script({"OK", "OK"});
  Open();
  // The button is disabled; Enter in the main frame still presses it.
  page_->PressCheck();
  ASSERT_GE(script.seen().size(), 1u);
  EXPECT_EQ(script.seen()[0].id, kDialogOkId);
  EXPECT_EQ(script.seen()[0].lines[0], Sjis("有効なアカウントが設定されていません。"));
  EXPECT_EQ(BlockHeader().code, TRAN_IDLE);
}

TEST_F(BasicPageTest, NoToTheSaveQuestionDiscardsTheEditsAndStartsNoCheck) {
  StoreAccounts({{"taro@127.0.0.1", "taro-pw"}});
  Open();
  const BasicSettings before = state_.records.basic;
  ModalScript script({"NO"});
  dialog().UserType(kIdAccount, "jiro@127.0.0.1");
  dialog().UserChoose(kIdCheckMode, 2);
  dialog().UserClick(kIdCheckButton);

  ASSERT_EQ(script.seen().size(), 1u);
  EXPECT_EQ(script.seen()[0].id, kDialogOkNoCancelId);
  ASSERT_FALSE(script.seen()[0].lines.empty());
  EXPECT_EQ(script.seen()[0].lines[0].rfind(Sjis("基本設定の変更を保存しますか？"), 0), 0u);
  EXPECT_EQ(dialog().GetItemText(kIdAccount), "taro@127.0.0.1");
  EXPECT_EQ(dialog().ComboSelection(kIdCheckMode), 0);
  EXPECT_EQ(std::memcmp(&state_.records.basic, &before, sizeof before), 0);
  EXPECT_FALSE(state_.changed_marks & kChangedBasic);
  EXPECT_EQ(BlockHeader().code, TRAN_IDLE) << "no check requested";
  EXPECT_FALSE(dialog().TimerRunning(kPollTimerId));
  BasicSettings stored{};
  ASSERT_TRUE(LoadBasicSettings(stored));
  EXPECT_EQ(Field(stored.accounts[0]), "taro@127.0.0.1");
}

TEST_F(BasicPageTest, YesToTheSaveQuestionSavesThenRequestsACheck) {
  StoreAccounts({{"taro@127.0.0.1", "taro-pw"}, {"hana@127.0.0.1", ""}});
  Open();
  ModalScript script({"YES"});
  dialog().UserType(kIdAccount, "jiro@127.0.0.1");
  dialog().UserChoose(kIdInspectionLevel, 1);
  dialog().UserClick(kIdCheckButton);

  ASSERT_EQ(script.seen().size(), 1u);
  BasicSettings stored{};
  ASSERT_TRUE(LoadBasicSettings(stored));
  EXPECT_EQ(Field(stored.accounts[0]), "jiro@127.0.0.1");
  EXPECT_EQ(stored.inspection_level, 1);
  EXPECT_EQ(std::memcmp(&state_.snapshots.basic, &state_.records.basic, sizeof stored), 0);
  EXPECT_FALSE(state_.changed_marks & kChangedBasic);
  const TransferHeader header = BlockHeader();
  EXPECT_EQ(header.code, TRAN_SETTINGS);
  EXPECT_EQ(header.p1, 1) << "check now";
  const BasicSettings delivered = BlockBasic();
  EXPECT_EQ(Field(delivered.accounts[0]), "jiro@127.0.0.1");
  EXPECT_EQ(Field(delivered.passwords[0]), "taro-pw") << "plain in the block";
  EXPECT_EQ(delivered.account_mask, 1) << "account 2 has no password";
  EXPECT_TRUE(dialog().TimerRunning(kPollTimerId));
}

// The user's choice is stored and closes the list; the page's own
// selection is not a choice.
TEST_F(BasicPageTest, ListChoiceOfTheUserIsStoredAndClosesTheList) {
  StoreAccounts({{"taro@127.0.0.1", "taro-pw"}});
  Open();
  dialog().ComboSelect(kIdCheckMode, 4);
  EXPECT_EQ(state_.records.basic.check_mode, 0);
  EXPECT_FALSE(state_.changed_marks & kChangedBasic);
  dialog().UserChoose(kIdCheckMode, 5);
  EXPECT_EQ(state_.records.basic.check_mode, 5);
  EXPECT_TRUE(state_.changed_marks & kChangedBasic);
  EXPECT_FALSE(dialog().ComboIsDroppedDown(kIdCheckMode));
}

TEST_F(BasicPageTest, AccountSwitchStepsThroughTheThreeAccountsUnlessTheTextIsInvalid) {
  StoreAccounts({{"a1@h", "p1"}, {"a2@h", "p2"}, {"a3@h", ""}});
  Open();
  ModalScript script({});
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"a2@h", "p2"}, {"a3@h", ""}, {"a1@h", "p1"}};
  for (const auto& [account, password] : expected) {
    dialog().UserClick(kIdAccountSwitch);
    EXPECT_EQ(dialog().GetItemText(kIdAccount), account);
    EXPECT_EQ(dialog().GetItemText(kIdPassword), password);
  }
  EXPECT_EQ(page_->current_account(), 0);

  dialog().UserType(kIdAccount, "a1" + Sjis("＠") + "h");
  dialog().UserClick(kIdAccountSwitch);
  EXPECT_EQ(page_->current_account(), 0);
  EXPECT_EQ(dialog().GetItemText(kIdAccount), "a1h");
}

// The transport list follows the account shown and writes the choice into
// ZVRXExt.ini at once, for that account alone; the page's records and the
// block are not touched by it.
TEST_F(BasicPageTest, TransportListFollowsTheAccountAndWritesTheExtensionFile) {
  StoreAccounts({{"a1@h", "p1"}, {"a2@h", "p2"}, {"a3@h", "p3"}});
  ASSERT_EQ(ChangeExtensionSettings({{"tls2", "plain"}}), "");
  Open();
  ModalScript script({});
  EXPECT_EQ(dialog().ComboSelection(kIdTransport), 0) << "account 1: auto by default";
  const TransferHeader before = BlockHeader();

  dialog().UserClick(kIdAccountSwitch);
  EXPECT_EQ(dialog().ComboSelection(kIdTransport), 3) << "account 2: plain";
  const int marks = state_.changed_marks;
  const BasicSettings records = state_.records.basic;
  dialog().UserChoose(kIdTransport, 2);
  EXPECT_EQ(LoadExtensionSettings().Value("tls2"), "starttls");
  EXPECT_FALSE(dialog().ComboIsDroppedDown(kIdTransport));

  dialog().UserClick(kIdAccountSwitch);
  EXPECT_EQ(dialog().ComboSelection(kIdTransport), 0) << "account 3: auto";
  dialog().UserChoose(kIdTransport, 1);
  const ExtensionSettings saved = LoadExtensionSettings();
  EXPECT_EQ(saved.Value("tls1"), "auto");
  EXPECT_EQ(saved.Value("tls2"), "starttls");
  EXPECT_EQ(saved.Value("tls3"), "tls");
  EXPECT_EQ(state_.changed_marks, marks) << "nothing for the page's save";
  EXPECT_EQ(std::memcmp(&state_.records.basic, &records, sizeof records), 0);
  EXPECT_EQ(BlockHeader().code, before.code);
  EXPECT_TRUE(script.seen().empty());
}

TEST_F(BasicPageTest, Report210AsksAndTheAnswerReachesTheBlock) {
  StoreAccounts({{"taro@127.0.0.1", "taro-pw"}});
  Open();
  // The checker's question stands in the block, unanswered.
  SetBlockHeader({TRAN_ASK, 0, 0, 5, 2});
  ModalScript script({"YES"});
  page_->ShowReport({kTranManualNewMail, 0, 3, 5, 2});

  ASSERT_EQ(script.seen().size(), 1u);
  EXPECT_EQ(script.seen()[0].id, kDialogOkNoId);
  EXPECT_EQ(script.seen()[0].lines,
            (std::vector<std::string>{Sjis("検査が完了しました。"), Sjis("検査したメール数 ： 5"),
                                      Sjis("削除したメール数 ： 2"),
                                      Sjis("3通の新しいメールが届いています。"),
                                      Sjis("メールソフトを起動しますか？")}));
  const TransferHeader answer = BlockHeader();
  EXPECT_EQ(answer.code, TRAN_ANSWER);
  EXPECT_EQ(answer.p1, 1) << "yes";
  EXPECT_EQ(answer.p2, 1);
  EXPECT_EQ(dialog().GetItemText(kIdStatus), Sjis("待機しています。"));
  EXPECT_TRUE(dialog().TimerRunning(kPollTimerId));
}

TEST_F(BasicPageTest, ProgressReportsFillTheStatusLineAndTheCounter) {
  StoreAccounts({{"taro@127.0.0.1", "taro-pw"}, {"jiro@127.0.0.1", "jiro-pw"}});
  Open();
  const std::string blank_counter(9, ' ');
  struct Case {
    TransferHeader header;
    std::string status;
    std::string counter;
    bool timer_after;
  };
  const std::vector<Case> cases = {
      // Kind 6 for account 2, message 4 of 10.
      {{TRAN_STATUS, 6, 10, 4, 2},
       Sjis("メールを検査しています。") + "\r\n\r\n" + "jiro@127.0.0.1", "4/10", true},
      {{TRAN_STATUS, 5, 3, 1, 1},
       Sjis("メールを確認しています。") + "\r\n\r\n" + "taro@127.0.0.1", "1/3", true},
      // Kind 4 names the account and has no counter.
      {{TRAN_STATUS, 4, 0, 0, 1},
       Sjis("サーバーを検索中です。") + "\r\n\r\n" + "taro@127.0.0.1", blank_counter, true},
      // An account number out of range names none.
      {{TRAN_STATUS, 6, 2, 2, 9}, Sjis("メールを検査しています。"), "2/2", true},
      // Waiting ends the polling.
      {{TRAN_STATUS, 3, 0, 0, 0}, Sjis("待機しています。"), blank_counter, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.header.p1);
    dialog().SetTimer(kPollTimerId, kPollTimerMs);
    page_->ShowReport(c.header);
    EXPECT_EQ(dialog().GetItemText(kIdStatus), c.status);
    EXPECT_EQ(dialog().GetItemText(kIdCounter), c.counter);
    EXPECT_EQ(dialog().TimerRunning(kPollTimerId), c.timer_after);
  }
}

// Every report code and the dialog it shows; the final results end the
// polling and reset the status line, errors leave the timer running.
TEST_F(BasicPageTest, EachReportCodeShowsItsDialog) {
  StoreAccounts({{"taro@127.0.0.1", "taro-pw"}});
  Open();
  struct Case {
    TransferHeader header;
    int dialog_id;  // 0: nothing shown
    std::vector<std::string> lines;
    bool timer_after;
  };
  const std::vector<Case> cases = {
      {{kTranStartupError, 4, 0, 0, 0}, kDialogOkId,
       {Sjis("｢ZVRX」フォルダが見つかりません。"), Sjis("正しくインストールして下さい。")}, true},
      {{kTranStartupError, 7, 0, 0, 0}, kDialogOkId, {}, true},
      {{kTranNoBasicSettings, 0, 0, 0, 0}, 0, {}, true},
      {{kTranNoAccount, 0, 0, 0, 0}, kDialogOkId,
       {Sjis("有効なアカウントが設定されていません。"), Sjis("少なくとも１つは設定して下さい。")},
       true},
      // 132 names the account by p4, 133 and 134 by p1.
      {{kTranUserRejected, 1, 0, 0, 3}, kNoticeDialogId,
       {Sjis("ユーザが認証されませんでした。"), Sjis("3つ目のメールアカウントを確認して下さい。")},
       true},
      {{kTranPasswordRejected, 2, 0, 0, 1}, kNoticeDialogId,
       {Sjis("パスワードが認証されませんでした。"), Sjis("2つ目のパスワードを確認して下さい。")},
       true},
      {{kTranServerUnreachable, 3, 0, 0, 1}, kNoticeDialogId,
       {Sjis("メールサーバーにアクセスできませんでした。"),
        Sjis("3つ目のメールアドレスを確認して下さい。")},
       true},
      // The secure transport's refusals name the account by p1 too.
      {{kTranCertificateRefused, 2, 0, 0, 2}, kNoticeDialogId,
       {Sjis("メールサーバーの証明書を確認できませんでした。"),
        Sjis("2つ目のメールアドレスを確認して下さい。"), Sjis("メールは削除していません。")},
       true},
      {{kTranNoSecureConnection, 1, 0, 0, 1}, kNoticeDialogId,
       {Sjis("暗号化した接続ができませんでした。"), Sjis("1つ目の接続方式を確認して下さい。"),
        Sjis("メールは削除していません。")},
       true},
      {{kTranPlainRefused, 3, 0, 0, 3}, kNoticeDialogId,
       {Sjis("暗号化できないサーバーにはログインしません。"),
        Sjis("3つ目の接続方式を「暗号化なし」にすると"), Sjis("暗号化せずに接続します。")},
       true},
      {{kTranNothingToExamine, 0, 0, 0, 0}, kDialogOkId,
       {Sjis("検査が完了しました。"), Sjis("　検査の対象となる新しいメールは届いて"),
        Sjis("　いませんでした。")},
       false},
      {{kTranCheckComplete, 0, 1, 7, 3}, kDialogOkId,
       {Sjis("検査が完了しました。"), Sjis("　検査したメール数 ： 7"), Sjis("　削除したメール数 ： 3")},
       false},
      {{kTranNewMailRemains, 0, 4, 7, 3}, kDialogOkId,
       {Sjis("検査が完了しました。"), Sjis("　検査したメール数 ： 7"), Sjis("　削除したメール数 ： 3"),
        Sjis("4 通の新しいメールが届いています。")},
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.header.code);
    dialog().SetTimer(kPollTimerId, kPollTimerMs);
    dialog().SetItemText(kIdStatus, "progress");
    ModalScript script(c.dialog_id != 0 ? std::vector<std::string>{"OK"}
                                         : std::vector<std::string>{});
    page_->ShowReport(c.header);
    if (c.dialog_id == 0) {
      EXPECT_TRUE(script.seen().empty());
    } else {
      ASSERT_EQ(script.seen().size(), 1u);
      EXPECT_EQ(script.seen()[0].id, c.dialog_id);
      EXPECT_EQ(script.seen()[0].lines, c.lines);
    }
    EXPECT_EQ(dialog().TimerRunning(kPollTimerId), c.timer_after);
    EXPECT_EQ(dialog().GetItemText(kIdStatus),
              c.timer_after ? std::string("progress") : Sjis("待機しています。"));
  }
}

// The poll timer takes a posted report from the block, acknowledges it and
// shows it.
TEST_F(BasicPageTest, PollTimerAcknowledgesAndShowsAPostedReport) {
  StoreAccounts({{"taro@127.0.0.1", "taro-pw"}});
  Open();
  checker_.local = {TRAN_STATUS, 6, 10, 4, 1};
  PostReport(checker_);
  page_->OnTimer(dialog(), kPollTimerId);
  EXPECT_EQ(checker_.block->data()[kHandshakeByte], TRAN_IDLE);
  EXPECT_EQ(dialog().GetItemText(kIdCounter), "4/10");
}

TEST_F(BasicPageTest, EditMenuGreysWhatTheAccountFieldCannotDo) {
  StoreAccounts({{"taro@127.0.0.1", "taro-pw"}});
  Open();
  ui::Frame* frame = frame_.get();
  ModalScript script({});
  dialog().UserType(kIdAccount, "taro@127.0.0.1");
  dialog().SetEditSelection(kIdAccount, -1, -1);
  page_->OnEditMenuOpening(*frame);
  EXPECT_FALSE(frame->IsMenuItemEnabled(kCmdCut));
  EXPECT_FALSE(frame->IsMenuItemEnabled(kCmdCopy));
  EXPECT_TRUE(frame->IsMenuItemEnabled(kCmdUndo));

  dialog().SetEditSelection(kIdAccount, 0, 4);
  page_->OnEditMenuOpening(*frame);
  EXPECT_TRUE(frame->IsMenuItemEnabled(kCmdCut));
  EXPECT_TRUE(frame->IsMenuItemEnabled(kCmdCopy));

  state_.current_edit_control = kIdAccount;
  page_->OnEditCommand(kCmdCut);
  EXPECT_EQ(dialog().GetItemText(kIdAccount), "@127.0.0.1");
  page_->OnEditCommand(kCmdPaste);
  EXPECT_EQ(dialog().GetItemText(kIdAccount), "taro@127.0.0.1");
}

}  // namespace
}  // namespace zvrx
