#include "platform/ui/dialog_template.h"

#include <QDir>
#include <QFile>
#include <cstdlib>

#include "platform/cp932.h"
#include "platform/ui/resource_text.h"

namespace zvrx::platform::ui {

namespace {

// Decimal, within a short as dialog units and ids are.
bool Number(const std::string& token, int& value) {
  return ParseResourceNumber(token, 10, -32768, 32767, value);
}

bool KindOf(const std::string& word, ControlKind& kind) {
  static constexpr struct {
    const char* word;
    ControlKind kind;
  } kKinds[] = {{"LTEXT", ControlKind::kLeftText},
                {"CTEXT", ControlKind::kCenteredText},
                {"RTEXT", ControlKind::kRightText},
                {"PUSHBUTTON", ControlKind::kPushButton},
                {"DEFPUSHBUTTON", ControlKind::kDefPushButton},
                {"EDITTEXT", ControlKind::kEdit},
                {"GROUPBOX", ControlKind::kGroupBox},
                {"CHECKBOX", ControlKind::kCheckBox},
                {"AUTOCHECKBOX", ControlKind::kAutoCheckBox},
                {"RADIOBUTTON", ControlKind::kRadioButton},
                {"AUTORADIOBUTTON", ControlKind::kAutoRadioButton},
                {"COMBOBOX", ControlKind::kComboBox},
                {"LISTBOX", ControlKind::kListBox},
                {"VSCROLLBAR", ControlKind::kVScrollBar},
                {"OWNERDRAW", ControlKind::kOwnerDraw},
                {"ICON", ControlKind::kIcon},
                {"FRAME", ControlKind::kFrame}};
  for (const auto& entry : kKinds) {
    if (word == entry.word) {
      kind = entry.kind;
      return true;
    }
  }
  return false;
}

bool FlagOf(const std::string& word, unsigned& flag) {
  static constexpr struct {
    const char* word;
    unsigned flag;
  } kFlags[] = {{"PASSWORD", kControlPassword}, {"AUTOHSCROLL", kControlAutoHScroll},
                {"READONLY", kControlReadOnly}, {"MULTILINE", kControlMultiline},
                {"NOWRAP", kControlNoWrap},     {"HIDDEN", kControlHidden},
                {"DISABLED", kControlDisabled}, {"SUNKEN", kControlSunken},
                {"ETCHED", kControlEtched},     {"NOTIFY", kControlNotify},
                {"VSCROLL", kControlVScroll}};
  for (const auto& entry : kFlags) {
    if (word == entry.word) {
      flag = entry.flag;
      return true;
    }
  }
  return false;
}

// id "text" x y width height, from `first` on.
bool Rectangle(const std::vector<std::string>& t, size_t first, int& x, int& y, int& width,
               int& height) {
  return Number(t[first], x) && Number(t[first + 1], y) && Number(t[first + 2], width) &&
         Number(t[first + 3], height) && width >= 0 && height >= 0;
}

}  // namespace

bool ParseDialogTemplates(std::string_view text, std::vector<DialogTemplate>& templates,
                          std::string* error) {
  DialogTemplate* open = nullptr;
  int skip_depth = 0;
  ResourceLines lines(text);
  auto fail = [&](const char* why) {
    if (error) *error = "line " + std::to_string(lines.line_number()) + ": " + why;
    if (open != nullptr) templates.pop_back();
    return false;
  };
  std::vector<std::string> t;
  bool broken = false;
  while (lines.Next(t, broken)) {
    if (broken) return fail("unclosed quote");
    if (skip_depth > 0) {
      // Inside a menu or accelerator table: only its nesting matters here.
      if (t[0] == "POPUP") ++skip_depth;
      if (t[0] == "END") --skip_depth;
      continue;
    }
    if (open == nullptr && (t[0] == "MENU" || t[0] == "ACCELERATORS")) {
      skip_depth = 1;
      continue;
    }
    if (t[0] == "DIALOG") {
      if (open != nullptr) return fail("DIALOG inside a dialog");
      DialogTemplate dialog;
      if (t.size() < 7 || !Number(t[1], dialog.id) || !IsResourceText(t[2]) ||
          !Rectangle(t, 3, dialog.x, dialog.y, dialog.width, dialog.height)) {
        return fail("DIALOG id \"caption\" x y width height [CENTER] [CHILD]");
      }
      for (size_t i = 7; i < t.size(); ++i) {
        if (t[i] == "CENTER") {
          dialog.centered = true;
        } else if (t[i] == "CHILD") {
          dialog.child = true;
        } else {
          return fail(("unknown dialog style " + t[i]).c_str());
        }
      }
      dialog.caption = Utf8ToCp932(t[2].substr(1));
      templates.push_back(std::move(dialog));
      open = &templates.back();
    } else if (open == nullptr) {
      return fail("outside a dialog");
    } else if (t[0] == "END") {
      open = nullptr;
    } else if (t[0] == "FONT") {
      if (t.size() != 3 || !Number(t[1], open->font_points) || open->font_points <= 0 ||
          !IsResourceText(t[2])) {
        return fail("FONT points \"face\"");
      }
      open->font_face = t[2].substr(1);
    } else {
      ControlTemplate control;
      if (!KindOf(t[0], control.kind)) return fail(("unknown control kind " + t[0]).c_str());
      if (t.size() < 7 || !Number(t[1], control.id) || !IsResourceText(t[2]) ||
          !Rectangle(t, 3, control.x, control.y, control.width, control.height)) {
        return fail("KIND id \"text\" x y width height [FLAG...]");
      }
      for (size_t i = 7; i < t.size(); ++i) {
        unsigned flag = 0;
        if (!FlagOf(t[i], flag)) return fail(("unknown control flag " + t[i]).c_str());
        control.flags |= flag;
      }
      control.text = Utf8ToCp932(t[2].substr(1));
      open->controls.push_back(std::move(control));
    }
  }
  if (open != nullptr) return fail("no END");
  if (skip_depth > 0) return fail("no END of a menu or accelerator table");
  return true;
}

bool LoadDialogTemplates(std::string_view path, std::vector<DialogTemplate>& templates,
                         std::string* error) {
  QFile file(QString::fromStdString(std::string(path)));
  if (!file.open(QIODevice::ReadOnly)) {
    if (error) *error = "cannot read " + std::string(path);
    return false;
  }
  QByteArray bytes = file.readAll();
  return ParseDialogTemplates(std::string_view(bytes.constData(), bytes.size()), templates, error);
}

bool LoadDialogTemplateFolder(std::string_view folder, std::vector<DialogTemplate>& templates,
                              std::string* error) {
  const QDir dir(QString::fromStdString(std::string(folder)));
  if (!dir.exists()) {
    if (error) *error = "no folder " + std::string(folder);
    return false;
  }
  const QStringList names = dir.entryList({"*.dlg"}, QDir::Files, QDir::Name);
  for (const QString& name : names) {
    const std::string path = dir.filePath(name).toStdString();
    std::string why;
    if (!LoadDialogTemplates(path, templates, &why)) {
      if (error) *error = path + ": " + why;
      return false;
    }
  }
  return true;
}

bool IsStaticText(ControlKind kind) {
  return kind == ControlKind::kLeftText || kind == ControlKind::kCenteredText ||
         kind == ControlKind::kRightText;
}

const DialogTemplate* FindTemplate(const std::vector<DialogTemplate>& templates, int id) {
  for (const DialogTemplate& dialog : templates) {
    if (dialog.id == id) return &dialog;
  }
  return nullptr;
}

}  // namespace zvrx::platform::ui
