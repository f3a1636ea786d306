#include "settings/pages/log_page.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/cp932.h"
#include "platform/desktop.h"
#include "platform/drives.h"
#include "platform/files.h"
#include "platform/held_file.h"
#include "platform/ui/file_dialog.h"
#include "settings/message_dialogs.h"
#include "settings/model/log_summary.h"
#include "settings/model/log_view.h"
#include "shared/kept_copies.h"
#include "shared/locations.h"
#include "shared/work_log_format.h"

namespace zvrx {

namespace {

namespace ui = platform::ui;

// The view takes the scroll bar's requests as they come.
static_assert(static_cast<int>(LogScroll::kLineUp) == ui::kSbLineUp);
static_assert(static_cast<int>(LogScroll::kLineDown) == ui::kSbLineDown);
static_assert(static_cast<int>(LogScroll::kPageUp) == ui::kSbPageUp);
static_assert(static_cast<int>(LogScroll::kPageDown) == ui::kSbPageDown);
static_assert(static_cast<int>(LogScroll::kThumbPosition) == ui::kSbThumbPosition);
static_assert(static_cast<int>(LogScroll::kThumbTrack) == ui::kSbThumbTrack);
static_assert(static_cast<int>(LogScroll::kTop) == ui::kSbTop);
static_assert(static_cast<int>(LogScroll::kBottom) == ui::kSbBottom);
static_assert(static_cast<int>(LogScroll::kEndScroll) == ui::kSbEndScroll);

std::string LogPath() { return DataFolder() + kWorkLogName; }

// The first whole deletion entry of the view's text, top down: the entry
// the kept copy is looked up for.
bool FirstEntryInView(std::string_view view, std::string* stamp, std::string* category,
                      std::string* from, std::string* subject) {
  for (size_t start = 0; start < view.size();) {
    if (ParseLogEntry(view.substr(start), stamp, category, from, subject)) return true;
    const size_t lf = view.find('\n', start);
    if (lf == std::string_view::npos) break;
    start = lf + 1;
  }
  return false;
}

// "控え...": what the entry says and the size of its copy, and "保存..."
// to write the copy out, byte for byte, to a file the user names.
class KeptCopyDialog : public ui::DialogEvents {
 public:
  KeptCopyDialog(SettingsState& state, const KeptCopy& copy) : state_(state), copy_(copy) {}

  void OnInit(ui::Dialog& dialog) override {
    const KeptCopyInfo& info = copy_.info;
    dialog.SetItemText(kIdKeptStamp, info.stamp);
    dialog.SetItemText(kIdKeptCategory, info.category);
    dialog.SetItemText(kIdKeptFrom, info.from);
    dialog.SetItemText(kIdKeptSubject, info.subject);
    dialog.SetItemText(kIdKeptSize,
                       std::to_string(copy_.size) + platform::Utf8ToCp932(" バイト  (") +
                           copy_.name + kKeptCopySuffix + ")");
    dialog.FocusItem(kIdKeptClose);
  }

  void OnCommand(ui::Dialog& dialog, int id, int code) override {
    if (code != ui::kBnClicked) return;
    if (id == kIdKeptClose) dialog.EndDialog(ui::kIdOk);
    if (id == kIdKeptSave) Save();
  }

 private:
  void Save() {
    ui::SaveFileRequest request;
    request.filters = {
        {platform::Utf8ToCp932("メールﾌｱｲﾙ (*.EML)"), "*.eml"},
        {platform::Utf8ToCp932("すへてのﾌｱｲﾙ (*.*)"), "*.*"},
    };
    request.default_extension = "eml";
    const std::string chosen = AskSaveFileName(state_, request);
    if (chosen.empty()) return;
    const std::optional<std::vector<char>> bytes = ReadKeptCopy(copy_);
    // The retention may have removed it since the dialog opened.
    if (!bytes.has_value()) {
      ShowMessageDialog(state_, MessageDialogKind::kOk,
                        platform::Utf8ToCp932("控えはもうありません。"), nullptr);
      return;
    }
    if (!platform::WriteFileBytes(chosen, bytes->data(), bytes->size())) {
      ShowMessageDialog(state_, MessageDialogKind::kOk,
                        platform::Utf8ToCp932("控えを書き出せませんでした。"), nullptr);
    }
  }

  SettingsState& state_;
  KeptCopy copy_;
};

class LogPage : public Page {
 public:
  explicit LogPage(SettingsState& state)
      : Page(state, kLogDialogId),
        view_([this](int64_t offset, char* out, size_t size) {
          return held_.ReadAt(offset, out, size);
        }) {}

  // Nothing is written on the way out; the log and the buffer are let go.
  bool RequestClose() override {
    Release();
    return true;
  }

  void InitPage(ui::Dialog& dialog) override {
    Load(dialog);
    dialog.FocusItem(kIdLogFocusButton);
  }

  void OnCommand(ui::Dialog& dialog, int id, int code) override {
    if (code != ui::kBnClicked) return;
    if (id == kIdLogExport) Export(dialog);
    if (id == kIdLogClear) Clear(dialog);
    if (id == kIdLogKept) OpenKeptCopy(dialog);
  }

  void OnScroll(ui::Dialog& dialog, int id, int request, int position) override {
    if (id != kIdLogScrollBar) return;
    if (!view_.Scroll(static_cast<LogScroll>(request), position)) return;
    dialog.SetItemText(kIdLogView, view_.text());
    dialog.SetScrollPos(kIdLogScrollBar, view_.position());
  }

 private:
  void Load(ui::Dialog& dialog) {
    const std::string path = LogPath();
    std::optional<std::vector<char>> whole = platform::ReadFileBytes(path);
    if (!whole.has_value() && platform::FileSize(path) > 0) {
      // A log that is there but cannot be read shows nothing at all.
      dialog.EnableItem(kIdLogScrollBar, false);
      return;
    }
    if (!whole.has_value() || whole->empty()) {
      ShowNoLog(dialog);
      return;
    }
    const std::string_view log(whole->data(), whole->size());
    const LogSummary summary = SummarizeLog(log);
    const LogIndex index = IndexLog(log);
    dialog.SetItemText(kIdLogPeriod, summary.period);
    dialog.SetItemText(kIdLogCount, summary.count);
    // Only the index and the summary stay; the whole log goes at once.
    whole.reset();

    if (!held_.Open(path) || !view_.Open(index)) {
      Release();
      dialog.EnableItem(kIdLogScrollBar, false);
      return;
    }
    dialog.SetItemText(kIdLogView, view_.text());
    dialog.SetScrollRange(kIdLogScrollBar, 0, view_.line_count());
    dialog.SetScrollPos(kIdLogScrollBar, 0);
    dialog.EnableItem(kIdLogScrollBar, view_.scroll_enabled());
  }

  void ShowNoLog(ui::Dialog& dialog) {
    dialog.SetItemText(kIdLogPeriod, "");
    dialog.SetItemText(kIdLogCount, "0");
    dialog.SetItemText(kIdLogView, "");
    dialog.SetScrollPos(kIdLogScrollBar, 0);
    dialog.EnableItem(kIdLogScrollBar, false);
  }

  // "書き出し...": a byte-for-byte copy of the log into a file the user
  // names; an existing file of that name is replaced without a question.
  void Export(ui::Dialog& dialog) {
    if (dialog.GetItemText(kIdLogView).empty()) return;
    ui::SaveFileRequest request;
    request.filters = {
        {platform::Utf8ToCp932("テキストﾌｱｲﾙ (*.TXT)"), "*.txt"},
        {platform::Utf8ToCp932("すへてのﾌｱｲﾙ (*.*)"), "*.*"},
    };
    request.default_extension = "txt";
    const std::string chosen = AskSaveFileName(state_, request);
    if (chosen.empty()) return;
    // The held file stays open: it blocks neither this read nor the
    // checker, and the view keeps reading the log it indexed.
    const std::optional<std::vector<char>> log = platform::ReadFileBytes(LogPath());
    if (!log.has_value() || log->empty()) return;
    // Written beside the target and renamed over it: a failed write never
    // leaves the chosen file cut short.
    platform::WriteFileBytes(chosen, log->data(), log->size());
  }

  // "控え...": the kept copy of the first whole entry in view.
  void OpenKeptCopy(ui::Dialog& dialog) {
    const std::string view = dialog.GetItemText(kIdLogView);
    if (view.empty()) return;
    std::string stamp, category, from, subject;
    int found = -1;
    std::vector<KeptCopy> copies;
    if (FirstEntryInView(view, &stamp, &category, &from, &subject)) {
      copies = ListKeptCopies();
      found = FindKeptCopy(copies, stamp, category, from, subject);
    }
    const ui::PixelRect owner = dialog.Rect();
    if (found < 0) {
      ShowMessageDialog(state_, MessageDialogKind::kOk,
                        platform::Utf8ToCp932("表示中の記録のメールには控えがありません。"),
                        &owner);
      return;
    }
    const ui::DialogTemplate* kept = ui::FindTemplate(state_.resources.dialogs, kKeptDialogId);
    if (kept == nullptr) return;
    KeptCopyDialog events(state_, copies[static_cast<size_t>(found)]);
    ui::ModalOptions options;
    options.owner = owner;
    ui::RunModal(*kept, events, options);
  }

  // "消去": the log is deleted without a question.
  void Clear(ui::Dialog& dialog) {
    Release();
    // When the delete fails the file stays, but the page shows no log.
    platform::DeleteFile(LogPath());
    ShowNoLog(dialog);
  }

  void Release() {
    view_.Close();
    held_.Close();
  }

  platform::HeldFile held_;
  LogView view_;
};

}  // namespace

std::unique_ptr<Page> MakeLogPage(SettingsState& state) { return std::make_unique<LogPage>(state); }

}  // namespace zvrx
