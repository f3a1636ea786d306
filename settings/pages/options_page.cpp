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
  explicit OptionsPage(SettingsState& state) : Page(state, kOptionsDialogId, kChangedOptions) {}

  void InitPage(ui::Dialog& dialog) override {
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
    if (dialog() != nullptr && dialog()->GetItemText(kIdMailerArguments).empty()) {
      std::memset(mailer.mailer_arguments, 0, sizeof mailer.mailer_arguments);
    }
    if (Changed() && Differs()) return AskToSaveAndClose(PageNameOptions());
    ClearChanged();
    return true;
  }

 protected:
  // Without a mail program there is no command line to edit.
  int EditControl() const override { return locked_ ? 0 : kIdMailerArguments; }

  bool SaveChanges() override {
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
    return true;
  }

  void DiscardChanges() override {
    state_.records.options = state_.snapshots.options;
    state_.records.mailer = state_.snapshots.mailer;
    keep_copies_ = keep_copies_snapshot_;
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
    // The dialog opens in the desktop folder.
    request_.start_folder = platform::DesktopFolder() + "\\";
    // The stored path is the dialog's file buffer: it starts with it.
    request_.initial_file.assign(state_.records.mailer.mailer_path,
                                 strnlen(state_.records.mailer.mailer_path, kMailerPathSize));
    const std::string chosen = AskOpenFileName(state_, request_);
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
