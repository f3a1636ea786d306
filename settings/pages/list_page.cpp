#include "settings/pages/list_page.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/cp932.h"
#include "platform/desktop.h"
#include "platform/drives.h"
#include "platform/files.h"
#include "platform/ui/file_dialog.h"
#include "settings/message_dialogs.h"
#include "settings/message_table.h"
#include "settings/model/list_entries.h"
#include "shared/list_files.h"
#include "shared/locations.h"
#include "shared/record_files.h"
#include "shared/transfer_settings.h"

namespace zvrx {

namespace {

namespace ui = platform::ui;

constexpr int kMessageListFull = 225;

// What differs between the two pages.
struct ListKindTraits {
  ListKind kind;
  const char* file_name;
  uint8_t changed_mark;
  uint8_t reload_flag;
  const std::string& (*page_name)();
};

ListKindTraits TraitsOf(PageKind kind) {
  if (kind == PageKind::kAcceptanceList) {
    return {ListKind::kAcceptance, kAcceptanceListName, kChangedAcceptanceList,
            kReloadAcceptanceList, PageNameAcceptanceList};
  }
  return {ListKind::kRejection, kRejectionListName, kChangedRejectionList, kReloadRejectionList,
          PageNameRejectionList};
}

std::string_view View(const std::vector<char>& bytes) {
  return std::string_view(bytes.data(), bytes.size());
}

class ListPage : public Page {
 public:
  ListPage(SettingsState& state, PageKind kind)
      : Page(state, kListDialogId, TraitsOf(kind).changed_mark),
        traits_(TraitsOf(kind)),
        entries_(
            traits_.kind,
            [this](std::string_view text) {
              return dialog() != nullptr ? dialog()->TextWidth(kListIdEntries, text) : -1;
            },
            kDisplayWidthBaseUnits * ui::SystemBaseUnits().x) {}

  void InitPage(ui::Dialog& dialog) override {
    // The template's caption names the acceptance list.
    if (traits_.kind == ListKind::kRejection) {
      dialog.SetItemText(kListIdGroup, PageNameRejectionList());
    }
    baseline_length_ = 0;
    const std::optional<std::vector<char>> file = platform::ReadFileBytes(ListPath());
    entries_.Load(file ? View(*file) : std::string_view());
    if (file) baseline_length_ = file->size();
    OwnCalls([&] {
      for (int i = 0; i < entries_.count(); ++i) {
        dialog.ListAdd(kListIdEntries, entries_.DisplayText(i));
      }
      dialog.FocusItem(kListIdEdit);
    });
  }

  void OnCommand(ui::Dialog& dialog, int id, int /*code*/) override {
    switch (id) {
      case kListIdEdit:
        OwnCalls([&] { dialog.ListSelect(kListIdEntries, -1); });
        return;
      case kListIdEntries:
        // Notifications caused by the page's own calls are not the user's.
        if (entries_.editing() && !own_calls_) FinishChange();
        return;
      case kListIdAdd:
        Add();
        return;
      case kListIdChange:
        if (entries_.editing()) {
          FinishChange();
        } else {
          StartChange();
        }
        return;
      case kListIdDelete:
        Delete();
        return;
      case kListIdRead:
        // Only a press of the focused button reads; no other notification.
        if (dialog.FocusedItem() == kListIdRead) Read();
        return;
      default:
        return;
    }
  }

  bool RequestClose() override {
    if (dialog() == nullptr) return true;
    const std::optional<std::vector<char>> current = platform::ReadFileBytes(ListPath());
    if (!ListHasChanged(Changed(), entries_.FileText(), baseline_length_,
                        current ? View(*current) : std::string_view())) {
      ClearChanged();
      return true;
    }
    return AskToSaveAndClose(traits_.page_name());
  }

 protected:
  int EditControl() const override { return kListIdEdit; }

  // "はい" of the save question. A list file that could not be written
  // keeps the page open with its entries, so nothing the user typed is lost
  // and the checker is not told to reload an old file.
  bool SaveChanges() override {
    const std::string text = entries_.FileText();
    // zvrxctl edits the same list file; one writer at a time.
    const auto lock = LockSettings();
    if (!platform::WriteFileBytes(ListPath(), text.data(), text.size())) return false;
    MailerSettings& mailer = state_.records.mailer;
    mailer.list_reload_flags |= traits_.reload_flag;
    baseline_length_ = text.size();
    SendSettings(state_.transfer, false);
    // This list has been delivered; the other list's flag stays as it stood.
    mailer.list_reload_flags &=
        traits_.kind == ListKind::kAcceptance ? kReloadRejectionList : kReloadAcceptanceList;
    return true;
  }

 private:
  std::string ListPath() const { return DataFolder() + traits_.file_name; }

  template <typename Calls>
  void OwnCalls(Calls&& calls) {
    const bool outer = own_calls_;
    own_calls_ = true;
    calls();
    own_calls_ = outer;
  }

  void Add() {
    ui::Dialog& dialog = *this->dialog();
    OwnCalls([&] { dialog.ListSelect(kListIdEntries, -1); });
    if (!entries_.Add(dialog.GetItemText(kListIdEdit))) {
      dialog.FocusItem(kListIdEdit);
      return;
    }
    const int added = entries_.count() - 1;
    OwnCalls([&] {
      dialog.SetItemText(kListIdEdit, "");
      dialog.ListAdd(kListIdEntries, entries_.DisplayText(added));
      // Selecting scrolls the new entry into view.
      dialog.ListSelect(kListIdEntries, added);
      dialog.ListSelect(kListIdEntries, -1);
    });
    MarkChanged();
  }

  void EnableListButtons(bool enabled) {
    dialog()->EnableItem(kListIdDelete, enabled);
    dialog()->EnableItem(kListIdRead, enabled);
    dialog()->EnableItem(kListIdAdd, enabled);
  }

  void StartChange() {
    ui::Dialog& dialog = *this->dialog();
    const std::optional<std::string> text =
        entries_.StartChange(dialog.ListSelection(kListIdEntries));
    if (!text) return;
    OwnCalls([&] {
      dialog.SetItemText(kListIdEdit, *text);
      dialog.SetEditSelection(kListIdEdit, 0, 0);
      dialog.ListSelect(kListIdEntries, -1);
      EnableListButtons(false);
      dialog.FocusItem(kListIdEdit);
    });
  }

  void FinishChange() {
    ui::Dialog& dialog = *this->dialog();
    const int position = entries_.edited_position();
    const bool replaced =
        entries_.FinishChange(dialog.IsEditModified(kListIdEdit), dialog.GetItemText(kListIdEdit));
    OwnCalls([&] {
      if (replaced) {
        dialog.ListDelete(kListIdEntries, position);
        dialog.ListInsert(kListIdEntries, position, entries_.DisplayText(position));
      }
      dialog.SetItemText(kListIdEdit, "");
      EnableListButtons(true);
    });
    if (replaced) MarkChanged();
  }

  void Delete() {
    ui::Dialog& dialog = *this->dialog();
    const int position = dialog.ListSelection(kListIdEntries);
    if (position < 0 || position >= entries_.count()) return;
    const std::vector<int> selections = entries_.Delete(position);
    OwnCalls([&] {
      dialog.ListDelete(kListIdEntries, position);
      for (int selection : selections) dialog.ListSelect(kListIdEntries, selection);
    });
    MarkChanged();
  }

  void Read() {
    static const std::vector<std::pair<std::string, std::string>> kFilters = {
        {platform::Utf8ToCp932("ｱﾄﾞﾚｽ ﾌｱｲﾙ (*.TXT)"), "*.txt"},
        {platform::Utf8ToCp932("すへてのﾌｱｲﾙ (*.*)"), "*.*"}};
    ui::OpenFileRequest request;
    request.filters = kFilters;
    request.default_extension = "TXT";
    // A name that does not exist yet may be chosen; reading it finds nothing.
    request.must_exist = false;
    const std::string path = AskOpenFileName(state_, request);
    if (path.empty()) return;
    MarkChanged();

    // One byte past the limit tells an oversized file from one that fits.
    const std::optional<std::vector<char>> file =
        platform::ReadFileBytes(path, kReadFileMaxBytes + 1);
    const int before = entries_.count();
    const ListEntries::ReadOutcome outcome =
        entries_.ReadAddresses(file ? std::optional<std::string_view>(View(*file)) : std::nullopt);
    OwnCalls([&] {
      for (int i = before; i < entries_.count(); ++i) {
        dialog()->ListAdd(kListIdEntries, entries_.DisplayText(i));
      }
    });
    if (outcome.limit_reached) {
      const ui::PixelRect owner = dialog()->Rect();
      ShowMessageDialog(state_, MessageDialogKind::kNotice, MessageString(kMessageListFull),
                        &owner);
    }
  }

  ListKindTraits traits_;
  ListEntries entries_;
  size_t baseline_length_ = 0;
  // Set while the page itself changes its controls.
  bool own_calls_ = false;
};

}  // namespace

std::unique_ptr<Page> MakeListPage(SettingsState& state, PageKind kind) {
  if (kind != PageKind::kAcceptanceList && kind != PageKind::kRejectionList) return nullptr;
  return std::make_unique<ListPage>(state, kind);
}

}  // namespace zvrx
