#include "install/app/installer_dialogs.h"

#include <optional>

#include "install/messages.h"
#include "platform/files.h"
#include "platform/ui/message_box.h"
#include "platform/ui/test_hooks.h"
#include "platform/ui/window.h"

namespace zvrx {

namespace {

namespace ui = platform::ui;

void ShowInstalledState(ui::Dialog& dialog, bool installed) {
  dialog.EnableItem(kMainInstall, !installed);
  dialog.EnableItem(kMainRemove, installed);
}

void SetStatus(ui::Dialog& dialog, const std::string& text) {
  dialog.SetItemText(kMainStatus, text);
  dialog.RedrawItem(kMainStatus);  // seen before the work that follows
}

class MainEvents final : public ui::DialogEvents {
 public:
  explicit MainEvents(InstallerProgram& program) : program_(program) {}

  void OnInit(ui::Dialog& dialog) override {
    dialog.SetCaption(kMainCaption);
    ShowInstalledState(dialog, program_.installed);
    dialog.SetItemText(kMainStatus, InstallerMessage(program_.installed ? kMsgAlreadyInstalled
                                                                        : kMsgPressInstall));
  }

  void OnCommand(ui::Dialog& dialog, int id, int code) override {
    if (code != ui::kBnClicked) return;
    // Escape sends the remove button's id; a disabled button does nothing.
    if ((id == kMainInstall || id == kMainRemove) && !dialog.IsItemEnabled(id)) return;
    if (id == kMainInstall) Install(dialog);
    if (id == kMainRemove) Remove(dialog);
    if (id == kMainExit) Exit(dialog);
  }

  // The close box leaves, as "終了" does.
  void OnClose(ui::Dialog& dialog) override { Exit(dialog); }

 private:
  void Install(ui::Dialog& dialog) {
    SetStatus(dialog, InstallerMessage(kMsgInstalling));
    const InstallReport report = InstallSuite(program_.paths, program_.actions);
    switch (report.outcome) {
      case InstallOutcome::kNoSpace:
        ui::MessageBox(InstallerMessage(kMsgNoSpace), kNoSpaceCaption, ui::kMbOk | ui::kMbSystemModal);
        SetStatus(dialog, InstallerMessage(kMsgPressInstall));
        ShowInstalledState(dialog, false);
        return;
      case InstallOutcome::kProgramNotCopied:
        // Not complete: nothing starts on Exit, and both ways stay open,
        // to try again or to clear away what came.
        SetStatus(dialog, InstallerMessage(kMsgProgramNotCopied) + report.failed_program);
        program_.installed = SuiteInstalled(program_.paths);
        dialog.EnableItem(kMainInstall, true);
        dialog.EnableItem(kMainRemove, true);
        return;
      case InstallOutcome::kInstalled:
        SetStatus(dialog, InstallerMessage(kMsgInstalled));
        ShowInstalledState(dialog, true);
        program_.installed = true;
        program_.installed_now = true;
        PlayCompletionSound(program_.paths, program_.actions);
        return;
    }
  }

  void Remove(ui::Dialog& dialog) {
    const int answer = ui::MessageBox(
        InstallerMessage(kMsgConfirmRemove), kConfirmCaption,
        ui::kMbOkCancel | ui::kMbIconQuestion | ui::kMbDefButton2 | ui::kMbSystemModal);
    if (answer != ui::kIdOk) return;
    SetStatus(dialog, InstallerMessage(kMsgRemoving));
    RemoveSuite(program_.paths, program_.actions);
    SetStatus(dialog, InstallerMessage(kMsgRemoved));
    ShowInstalledState(dialog, false);
    program_.installed = false;
  }

  void Exit(ui::Dialog& dialog) {
    if (program_.installed && program_.installed_now) {
      dialog.Hide();
      ui::KeepTestChannelsFromChildren();
      program_.started = StartSuite(program_.paths, program_.actions);
      program_.suite_started = true;
    }
    dialog.EndDialog(kMainExit);
  }

  InstallerProgram& program_;
};

class LicenceEvents final : public ui::DialogEvents {
 public:
  explicit LicenceEvents(InstallerProgram& program) : program_(program) {}

  void OnInit(ui::Dialog& dialog) override {
    dialog.SetCaption(kLicenceCaption);
    program_.installed = SuiteInstalled(program_.paths);
    // Read whole; a missing or empty file leaves the box empty.
    std::optional<std::vector<char>> text = platform::ReadFileBytes(program_.paths.licence_text);
    if (text && !text->empty()) dialog.SetItemText(kLicenceText, std::string(text->begin(), text->end()));
    dialog.FocusItem(kLicenceFocusTaker);
  }

  void OnCommand(ui::Dialog& dialog, int id, int code) override {
    if (id == kLicenceText) {
      // Whatever the text box reports, the caret goes elsewhere.
      dialog.FocusItem(kLicenceFocusTaker);
      return;
    }
    if (code != ui::kBnClicked) return;
    if (id == kLicenceAgree) {
      program_.agreed = true;
      dialog.Hide();
      RunMain();
      dialog.EndDialog(kLicenceAgree);
    } else if (id == kLicenceDisagree || id == ui::kIdCancel) {
      dialog.EndDialog(kLicenceDisagree);
    }
  }

  void OnClose(ui::Dialog& dialog) override { dialog.EndDialog(kLicenceDisagree); }

 private:
  void RunMain() {
    const ui::DialogTemplate* main = ui::FindTemplate(program_.templates, kMainDialog);
    if (main == nullptr) return;
    MainEvents events(program_);
    ui::ModalOptions options;
    options.system_modal = false;
    options.hide_close_button = false;
    ui::RunModal(*main, events, options);
  }

  InstallerProgram& program_;
};

}  // namespace

void RunInstaller(InstallerProgram& program) {
  const ui::DialogTemplate* licence = ui::FindTemplate(program.templates, kLicenceDialog);
  if (licence == nullptr) return;
  LicenceEvents events(program);
  ui::ModalOptions options;
  options.system_modal = false;
  options.hide_close_button = false;
  ui::RunModal(*licence, events, options);
}

}  // namespace zvrx
