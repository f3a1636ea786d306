#include "settings/pages/options_page.h"

#include <cstring>
#include <string>
#include <utility>

#include "platform/cp932.h"
#include "platform/desktop.h"
#include "platform/drives.h"
#include "platform/ui/file_dialog.h"
#include "settings/message_dialogs.h"
#include "settings/message_table.h"
#include "settings/model/option_bits.h"
#include "shared/extension_settings.h"
#include "shared/record_files.h"
#include "shared/transfer_settings.h"

namespace zvrx {

namespace {

namespace ui = platform::ui;

// Any nonzero value says a mail program is chosen; no reader looks further.
constexpr uint32_t kMailerChosenMarker = 1;

constexpr int kOptionBoxes[] = {kIdAutoSoundBox, kIdAutoDialogBox, kIdAutoStartMailerBox,
                                kIdManualReportBox, kIdManualStartMailerBox};

class OptionsPage : public Page {
 public:
  explicit OptionsPage(SettingsState& state) : state_(state) {}

  void Create(ui::Frame& frame) override {
    frame_ = &frame;
    const ui::DialogTemplate* dialog =
        ui::FindTemplate(state_.resources.dialogs, kOptionsDialogId);
    if (dialog == nullptr) return;
    dialog_ = ui::CreatePage(*dialog, frame, *this);
  }

  ui::Dialog* dialog() override { return dialog_.get(); }

  void OnInit(ui::Dialog& dialog) override {
    PrepareFileRequest();
    NotifyOptions& options = state_.records.options;
    MailerSettings& mailer = state_.records.mailer;
    for (int box : kOptionBoxes) {
      dialog.CheckButton(box, (options.option_bits & OptionBitOfBox(box)) != 0);
    }
    keep_copies_ = keep_copies_snapshot_ = LoadExtensionSettings().Bool(kKeepDeletedKey);
    dialog.CheckButton(kIdKeepCopiesBox, keep_copies_);
    dialog.SetEditLimit(kIdMailerArguments, static_cast<int>(kMailerArgumentsMax));

    initialising_ = true;
    if (mailer.mailer_path[0] == '\0') {
      Lock(dialog);
    } else {
      dialog.SetItemText(kIdMailerName, FileNamePart(PathText(mailer)));
      options.mailer_marker = kMailerChosenMarker;
      const std::string arguments(mailer.mailer_arguments,
                                  strnlen(mailer.mailer_arguments, kMailerArgumentsSize));
      if (!arguments.empty()) dialog.SetItemText(kIdMailerArguments, arguments);
      Unlock(dialog);
    }
    initialising_ = false;

    BasicSettings& basic = state_.records.basic;
    basic.launch_flags = LaunchFlagsOnOpen(options.option_bits, basic.launch_flags);
  }

  void OnCommand(ui::Dialog& dialog, int id, int code) override {
    switch (id) {
      case kIdAutoSoundBox:
      case kIdAutoDialogBox:
      case kIdAutoStartMailerBox:
      case kIdManualReportBox:
      case kIdManualStartMailerBox:
        if (code == ui::kBnClicked) ClickOptionBox(dialog, id);
        return;
      case kIdChooseMailer:
        if (code == ui::kBnClicked) ChooseMailer(dialog);
        return;
      case kIdKeepCopiesBox:
        if (code != ui::kBnClicked) return;
        keep_copies_ = dialog.IsButtonChecked(kIdKeepCopiesBox);
        MarkChanged();
        return;
      case kIdClearMailer:
        if (code == ui::kBnClicked) ClearMailer(dialog);
        return;
      case kIdMailerArguments:
        // The field's text is the stored command line, whatever it reports.
        if (initialising_) return;
        StoreMailerArguments(state_.records.mailer, dialog.GetItemText(kIdMailerArguments));
        MarkChanged();
        return;
      default:
        return;
    }
  }

  bool RequestClose() override {
    if (state_.basic_page != nullptr && !state_.basic_page->AccountTextValid()) {
      state_.basic_page->RestoreAccountText();
      return false;
    }
    MailerSettings& mailer = state_.records.mailer;
    if (dialog_ != nullptr && dialog_->GetItemText(kIdMailerArguments).empty()) {
      std::memset(mailer.mailer_arguments, 0, sizeof mailer.mailer_arguments);
    }
    if ((state_.changed_marks & kChangedOptions) != 0 && Differs()) {
      const ui::PixelRect owner = frame_->Rect();
      const int answer = AskSaveQuestion(state_, PageNameOptions(), &owner);
      if (answer == kResultCancel) {
        frame_->Focus();
        return false;
      }
      if (answer == kResultYes) {
        frame_->Hide();
        SendSettings(state_.transfer, false);
        SaveMailerSettings(state_.records.mailer);
        SaveNotifyOptions(state_.records.options);
        if (keep_copies_ != keep_copies_snapshot_) {
          // The checker reads the file at its next check; nothing to hand over.
          ChangeExtensionSettings({{kKeepDeletedKey, keep_copies_ ? "on" : "off"}});
          keep_copies_snapshot_ = keep_copies_;
        }
        state_.snapshots.options = state_.records.options;
        state_.snapshots.mailer = state_.records.mailer;
        state_.records.judgment.languages_changed = 0;
      } else {
        state_.records.options = state_.snapshots.options;
        state_.records.mailer = state_.snapshots.mailer;
        keep_copies_ = keep_copies_snapshot_;
      }
    }
    state_.changed_marks &= static_cast<uint8_t>(~kChangedOptions);
    return true;
  }

  void OnEditCommand(int command) override {
    if (dialog_ == nullptr || locked_) return;
    switch (command) {
      case kCmdUndo:
        dialog_->Undo(kIdMailerArguments);
        return;
      case kCmdCopy:
        dialog_->Copy(kIdMailerArguments);
        return;
      case kCmdCut:
        dialog_->Cut(kIdMailerArguments);
        return;
      case kCmdPaste:
        dialog_->Paste(kIdMailerArguments);
        return;
      default:
        return;
    }
  }

  void OnEditMenuOpening(ui::Frame& frame) override {
    if (dialog_ == nullptr || locked_) {
      Page::OnEditMenuOpening(frame);
      return;
    }
    int start = 0, end = 0;
    dialog_->GetEditSelection(kIdMailerArguments, start, end);
    frame.EnableMenuItem(kCmdUndo, dialog_->CanUndo(kIdMailerArguments));
    frame.EnableMenuItem(kCmdPaste, ui::ClipboardHasText());
    frame.EnableMenuItem(kCmdCut, start != end);
    frame.EnableMenuItem(kCmdCopy, start != end);
  }

 private:
  static std::string PathText(const MailerSettings& mailer) {
    return std::string(mailer.mailer_path, strnlen(mailer.mailer_path, kMailerPathSize));
  }

  void PrepareFileRequest() {
    request_.filters = {
        {platform::Utf8ToCp932("実行ﾌｱｲﾙ (*.EXE)"), "*.exe"},
        {platform::Utf8ToCp932("すへてのﾌｱｲﾙ (*.*)"), "*.*"},
    };
    request_.default_extension = "EXE";
    // A name that does not exist yet may be chosen, to be created later.
    request_.must_exist = false;
  }

  void MarkChanged() { state_.changed_marks |= kChangedOptions; }

  bool Differs() const {
    return keep_copies_ != keep_copies_snapshot_ ||
           std::memcmp(&state_.records.options, &state_.snapshots.options,
                       sizeof(NotifyOptions)) != 0 ||
           std::memcmp(&state_.records.mailer, &state_.snapshots.mailer,
                       sizeof(MailerSettings)) != 0;
  }

  // No mail program: no command line either.
  void Lock(ui::Dialog& dialog) {
    dialog.SetItemText(kIdMailerArguments, "");
    std::memset(state_.records.mailer.mailer_arguments, 0, kMailerArgumentsSize);
    dialog.EnableItem(kIdMailerArguments, false);
    locked_ = true;
  }

  void Unlock(ui::Dialog& dialog) {
    dialog.EnableItem(kIdMailerArguments, true);
    dialog.SetEditReadOnly(kIdMailerArguments, false);
    locked_ = false;
  }

  void ClickOptionBox(ui::Dialog& dialog, int id) {
    OptionWords words{state_.records.options.option_bits, state_.records.basic.launch_flags};
    words = ApplyOptionBox(id, dialog.IsButtonChecked(id), words);
    state_.records.options.option_bits = words.option_bits;
    state_.records.basic.launch_flags = words.launch_flags;
    MarkChanged();
  }

  void ChooseMailer(ui::Dialog& dialog) {
    if (state_.file_dialog_open) return;
    // The dialog opens in the desktop folder; made current as the system's
    // file dialog expects.
    const std::string desktop = platform::DesktopFolder() + "\\";
    platform::SetCurrentDirectory(desktop);
    request_.start_folder = desktop;
    // The stored path is the dialog's file buffer: it starts with it.
    request_.initial_file.assign(state_.records.mailer.mailer_path,
                                 strnlen(state_.records.mailer.mailer_path, kMailerPathSize));

    state_.file_dialog_open = true;
    const std::string chosen = ui::GetOpenFileName(request_);
    state_.file_dialog_open = false;
    if (chosen.empty()) return;
    if (!StoreMailerPath(state_.records.mailer, chosen)) return;

    dialog.SetItemText(kIdMailerName, FileNamePart(chosen));
    state_.records.options.mailer_marker = kMailerChosenMarker;
    MarkChanged();
    Unlock(dialog);
  }

  void ClearMailer(ui::Dialog& dialog) {
    std::memset(state_.records.mailer.mailer_path, 0, kMailerPathSize);
    dialog.SetItemText(kIdMailerName, "");
    state_.records.options.mailer_marker = 0;
    MarkChanged();
    Lock(dialog);
  }

  SettingsState& state_;
  ui::Frame* frame_ = nullptr;
  std::unique_ptr<ui::Dialog> dialog_;
  ui::OpenFileRequest request_;
  bool locked_ = false;
  bool initialising_ = false;
  bool keep_copies_ = true;
  bool keep_copies_snapshot_ = true;  // as the file held it when the page opened
};

}  // namespace

std::unique_ptr<Page> MakeOptionsPage(SettingsState& state) {
  return std::make_unique<OptionsPage>(state);
}

}  // namespace zvrx
