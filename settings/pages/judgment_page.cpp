#include "settings/pages/judgment_page.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "platform/files.h"
#include "settings/message_dialogs.h"
#include "settings/message_table.h"
#include "settings/model/dictionary_list.h"
#include "settings/pages/european_dialog.h"
#include "shared/locations.h"
#include "shared/extension_settings.h"
#include "shared/record_files.h"
#include "shared/transfer_settings.h"

namespace zvrx {

namespace {

namespace ui = platform::ui;

// Message-table strings of the two handling lists.
constexpr int kForeignHandlingFirstString = 11;
constexpr int kUnknownFormatFirstString = 14;
constexpr int kHandlingChoices = 3;

// The language-options changed flag: bytes 6 and 7 of the record are left
// out when the page decides whether anything changed.
constexpr size_t kChangedFlagOffset = offsetof(JudgmentSettings, languages_changed);
constexpr size_t kAfterChangedFlag = kChangedFlagOffset + sizeof(int16_t);

struct Strictness {
  int id;
  int16_t value;
};
constexpr Strictness kStrictness[] = {{kIdLenient, -1}, {kIdStandard, 0}, {kIdStrict, 1}};

// The page's boxes over switches of the extension settings file. They live
// in that file, not in the record: loaded when the page opens, saved under
// the settings lock with the page, put back when its changes are dropped.
struct ExtensionBox {
  const char* key;
  int id;
};
constexpr ExtensionBox kExtensionBoxes[] = {
    {kModernMailKey, kIdModernMail},
    {kLearnedJudgmentKey, kIdLearnedJudgment},
    {kBrandCheckKey, kIdBrandCheck},
    {kQuotedWarningsKey, kIdQuotedWarnings},
};
constexpr size_t kExtensionBoxCount = std::size(kExtensionBoxes);

class JudgmentPage : public Page {
 public:
  explicit JudgmentPage(SettingsState& state)
      : Page(state, kJudgmentDialogId, kChangedJudgment) {}

  void InitPage(ui::Dialog& dialog) override {
    JudgmentSettings& judgment = state_.records.judgment;
    // Filling the lists reports selections of its own; they are not the user's.
    initialising_ = true;
    FillHandlingList(dialog, kIdForeignHandling, kForeignHandlingFirstString,
                     judgment.foreign_handling);
    FillHandlingList(dialog, kIdUnknownFormatHandling, kUnknownFormatFirstString,
                     judgment.unknown_format_handling);
    BuildList(dialog);
    ShowStrictness(dialog);
    ShowExtensionsFromFile();
    initialising_ = false;
    dialog.SetScrollRange(kIdDictionaryScroll, 0, list_.count());
    dialog.SetScrollPos(kIdDictionaryScroll, 0);
    state_.snapshots.judgment = judgment;
    snapshot_mask_ = list_.switch_mask;
  }

  void OnCommand(ui::Dialog& dialog, int id, int code) override {
    if (id >= kIdFirstDictionaryBox && id < kIdFirstDictionaryBox + kDictionaryBoxes) {
      if (code == ui::kBnClicked) ClickDictionary(dialog, id - kIdFirstDictionaryBox);
      return;
    }
    switch (id) {
      case kIdLenient:
      case kIdStandard:
      case kIdStrict:
        if (code == ui::kBnClicked) ClickStrictness(dialog, id);
        return;
      case kIdForeignHandling:
      case kIdUnknownFormatHandling:
        if (code == ui::kCbnSelChange) ChooseHandling(dialog, id);
        return;
      case kIdEuropeanOptions:
        if (code == ui::kBnClicked) RunEuropeanDialog(state_, frame_->Rect());
        return;
      default:
        if (code == ui::kBnClicked) ClickExtension(dialog, id);
        return;
    }
  }

  void OnScroll(ui::Dialog& dialog, int id, int request, int position) override {
    if (id != kIdDictionaryScroll || !ListScrolls(list_)) return;
    if (ScrollDictionaries(list_, request, position)) DrawBoxes(dialog);
    dialog.SetScrollPos(kIdDictionaryScroll, list_.position);
  }

  bool RequestClose() override {
    if (!Changed()) return true;
    JudgmentSettings& judgment = state_.records.judgment;
    if (list_.switch_mask != snapshot_mask_) judgment.languages_changed = 1;
    if (SameAsSnapshot() && extensions_ == snapshot_extensions_) {
      judgment.languages_changed = 0;
      ClearChanged();
      return true;
    }
    return AskToSaveAndClose(PageNameJudgment());
  }

 protected:
  bool SaveChanges() override {
    JudgmentSettings& judgment = state_.records.judgment;
    // The checker hears of the changed flag through this delivery only.
    SendSettings(state_.transfer, false);
    judgment.languages_changed = 0;
    // Read back what was saved; a failed save or load keeps the choices
    // in memory rather than blanking them.
    if (SaveJudgmentSettings(judgment)) {
      JudgmentSettings saved{};
      if (LoadJudgmentSettings(saved)) judgment = saved;
    }
    state_.snapshots.judgment = judgment;
    snapshot_mask_ = list_.switch_mask;
    SaveExtensions();
    return true;
  }

  void DiscardChanges() override {
    state_.records.judgment = state_.snapshots.judgment;
    extensions_ = snapshot_extensions_;
    ShowExtensions();
  }

 private:
  // The boxes as the file has them now (the default for a missing key).
  void ShowExtensionsFromFile() {
    const ExtensionSettings settings = LoadExtensionSettings();
    for (size_t i = 0; i < kExtensionBoxCount; ++i) {
      extensions_[i] = settings.Bool(kExtensionBoxes[i].key);
    }
    snapshot_extensions_ = extensions_;
    ShowExtensions();
  }

  void ShowExtensions() {
    if (dialog() == nullptr) return;
    for (size_t i = 0; i < kExtensionBoxCount; ++i) {
      dialog()->CheckButton(kExtensionBoxes[i].id, extensions_[i]);
    }
  }

  void ClickExtension(ui::Dialog& dialog, int id) {
    for (size_t i = 0; i < kExtensionBoxCount; ++i) {
      if (kExtensionBoxes[i].id != id) continue;
      extensions_[i] = dialog.IsButtonChecked(id);
      MarkChanged();
    }
  }

  // Only the switches the user changed are written, in one change under the
  // settings lock as zvrxctl makes it, so a key another program set while
  // the page was open keeps that value; a running checker reads the file at
  // its next check. Afterwards the boxes show the file, which after a
  // refused save (reported with its reason) is what was there before.
  void SaveExtensions() {
    std::vector<std::pair<std::string, std::string>> changes;
    for (size_t i = 0; i < kExtensionBoxCount; ++i) {
      if (extensions_[i] == snapshot_extensions_[i]) continue;
      changes.emplace_back(kExtensionBoxes[i].key, extensions_[i] ? "on" : "off");
    }
    if (changes.empty()) return;
    const std::string error = ChangeExtensionSettings(changes);
    if (!error.empty()) {
      std::fprintf(stderr, "MailZevrox: %s: %s\n", kExtensionSettingsName, error.c_str());
    }
    ShowExtensionsFromFile();
  }

  bool SameAsSnapshot() const {
    const auto* now = reinterpret_cast<const unsigned char*>(&state_.records.judgment);
    const auto* then = reinterpret_cast<const unsigned char*>(&state_.snapshots.judgment);
    return std::memcmp(now, then, kChangedFlagOffset) == 0 &&
           std::memcmp(now + kAfterChangedFlag, then + kAfterChangedFlag,
                       sizeof(JudgmentSettings) - kAfterChangedFlag) == 0;
  }

  static void FillHandlingList(ui::Dialog& dialog, int id, int first_string, int16_t value) {
    dialog.ComboReset(id);
    for (int i = 0; i < kHandlingChoices; ++i) dialog.ComboAdd(id, MessageString(first_string + i));
    dialog.ComboSelect(id, value >= 0 && value < kHandlingChoices ? value : -1);
  }

  void ChooseHandling(ui::Dialog& dialog, int id) {
    // Every change of the shown choice is kept, also one made with the
    // keyboard on the closed list, so the page never shows what it did
    // not store.
    if (initialising_) return;
    const int index = dialog.ComboSelection(id);
    if (index < 0 || index >= kHandlingChoices) return;
    JudgmentSettings& judgment = state_.records.judgment;
    (id == kIdForeignHandling ? judgment.foreign_handling : judgment.unknown_format_handling) =
        static_cast<int16_t>(index);
    if (dialog.ComboIsDroppedDown(id)) dialog.Focus();
    MarkChanged();
  }

  void ShowStrictness(ui::Dialog& dialog) {
    for (const Strictness& s : kStrictness) {
      dialog.CheckButton(s.id, state_.records.judgment.strictness == s.value);
    }
  }

  void ClickStrictness(ui::Dialog& dialog, int id) {
    for (const Strictness& s : kStrictness) {
      if (s.id != id) continue;
      if (state_.records.judgment.strictness == s.value) return;
      state_.records.judgment.strictness = s.value;
    }
    ShowStrictness(dialog);
    MarkChanged();
  }

  void BuildList(ui::Dialog& dialog) {
    list_ = DictionaryList{};
    if (!platform::FolderExists(MethodFolder())) {
      for (int k = 0; k < kDictionaryBoxes; ++k) BlankBox(dialog, k);
      dialog.EnableItem(kIdDictionaryScroll, false);
      return;
    }
    list_ = BuildDictionaryList(platform::ListFolder(MethodFolder() + "*.*"),
                                state_.records.judgment);
    DrawBoxes(dialog);
    if (!ListScrolls(list_)) dialog.EnableItem(kIdDictionaryScroll, false);
  }

  static void BlankBox(ui::Dialog& dialog, int k) {
    const int id = kIdFirstDictionaryBox + k;
    dialog.SetItemText(id, "");
    dialog.CheckButton(id, false);
    dialog.SetButtonHighlight(id, false);
    dialog.ShowItem(id, false);
  }

  // The six boxes from the first visible entry: name, highlight, tick.
  void DrawBoxes(ui::Dialog& dialog) {
    for (int k = 0; k < kDictionaryBoxes; ++k) {
      const DictionaryBox box = BoxContents(list_, k);
      if (!box.used) {
        BlankBox(dialog, k);
        continue;
      }
      const int id = kIdFirstDictionaryBox + k;
      dialog.ShowItem(id, true);
      dialog.SetItemText(id, box.name);
      dialog.SetButtonHighlight(id, true);
      dialog.CheckButton(id, box.ticked);
      dialog.RedrawItem(id);
    }
  }

  void ClickDictionary(ui::Dialog& dialog, int k) {
    if (k >= list_.count()) return;
    MarkChanged();
    const int id = kIdFirstDictionaryBox + k;
    ToggleDictionary(list_, k, dialog.IsButtonChecked(id), state_.records.judgment);
    dialog.FocusItem(kIdFocusSink);
    DrawBoxes(dialog);
  }

  DictionaryList list_;
  uint16_t snapshot_mask_ = 0;
  // Per entry of kExtensionBoxes: shown, and as the file had it.
  std::array<bool, kExtensionBoxCount> extensions_{};
  std::array<bool, kExtensionBoxCount> snapshot_extensions_{};
  bool initialising_ = false;
};

}  // namespace

std::unique_ptr<Page> MakeJudgmentPage(SettingsState& state) {
  return std::make_unique<JudgmentPage>(state);
}

}  // namespace zvrx
