#include "platform/ui/file_dialog.h"

#include <QFileDialog>
#include <QStringList>

#include "platform/drives.h"
#include "platform/ui/qt_text.h"
#include "platform/ui/transcript.h"

namespace zvrx::platform::ui {

namespace {

// A Windows path (CP932) of what the user or the script picked (UTF-8):
// a host path is mapped, a Windows path taken as it is.
std::string Chosen(const std::string& picked_utf8) {
  if (picked_utf8.empty()) return {};
  return picked_utf8[0] == '/' ? WindowsPath(picked_utf8) : Utf8ToCp932(picked_utf8);
}

// "Description (*.txt *.TXT)" for each pair.
QStringList NameFilters(const std::vector<std::pair<std::string, std::string>>& pairs) {
  QStringList filters;
  for (const auto& [description, pattern] : pairs) {
    // The host's names are case-sensitive: "*.exe" also takes "*.EXE".
    QString patterns = ToQt(pattern);
    if (patterns.toLower() != patterns.toUpper()) {
      patterns = patterns.toLower() + " " + patterns.toUpper();
    }
    filters << ToQt(description) + " (" + patterns + ")";
  }
  return filters;
}

}  // namespace

std::string GetOpenFileName(const OpenFileRequest& request) {
  QFileDialog dialog;
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(request.must_exist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  dialog.setNameFilters(NameFilters(request.filters));
  if (!request.default_extension.empty()) dialog.setDefaultSuffix(ToQt(request.default_extension));
  const std::string folder =
      request.start_folder.empty() ? GetCurrentDirectory() : request.start_folder;
  dialog.setDirectory(QString::fromStdString(HostPath(folder)));
  if (!request.initial_file.empty()) {
    dialog.selectFile(QString::fromStdString(HostPath(request.initial_file)));
  }
  WriteTranscript("fileopen", "", folder);

  if (auto answer = NextScriptedAnswer()) {
    // The dialog is built as for a person, but the script names the file.
    if (ButtonIdOf(*answer) == kIdCancel) return {};
    return Chosen(*answer);
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return Chosen(dialog.selectedFiles().front().toStdString());
}

std::string GetSaveFileName(const SaveFileRequest& request) {
  QFileDialog dialog;
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  // An existing file is overwritten without a question.
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilters(NameFilters(request.filters));
  if (!request.default_extension.empty()) dialog.setDefaultSuffix(ToQt(request.default_extension));
  const std::string folder =
      request.start_folder.empty() ? GetCurrentDirectory() : request.start_folder;
  dialog.setDirectory(QString::fromStdString(HostPath(folder)));
  WriteTranscript("filesave", "", folder);

  if (auto answer = NextScriptedAnswer()) {
    if (ButtonIdOf(*answer) == kIdCancel) return {};
    return Chosen(*answer);
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return Chosen(dialog.selectedFiles().front().toStdString());
}

}  // namespace zvrx::platform::ui
