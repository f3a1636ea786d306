// Dialog templates as data: a dialog's id, caption and size in dialog units
// and its controls with ids and rectangles, read from a small text form
// kept in the program's resources:
//
//   # comment
//   DIALOG <id> "<caption>" <x> <y> <width> <height> [CENTER] [CHILD]
//   FONT <points> "<face>"
//   <KIND> <id> "<text>" <x> <y> <width> <height> [FLAG...]
//   END
//
// KIND is LTEXT, CTEXT, RTEXT, PUSHBUTTON, DEFPUSHBUTTON, EDITTEXT, GROUPBOX,
// CHECKBOX, AUTOCHECKBOX, RADIOBUTTON, AUTORADIOBUTTON, COMBOBOX, LISTBOX,
// VSCROLLBAR, OWNERDRAW, ICON or FRAME; FLAG is one of the kControl* names
// below without the prefix, in capitals (PASSWORD, AUTOHSCROLL, ...). CHILD
// marks a page: no caption, it fills a frame. Id -1 is an unnamed control.
// Texts are UTF-8 in the file (a doubled quote stands for one) and CP932
// once loaded. MENU and ACCELERATORS blocks (menu_template.h) may share the
// file and are skipped here.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zvrx::platform::ui {

enum class ControlKind {
  kLeftText,
  kCenteredText,
  kRightText,
  kPushButton,
  kDefPushButton,
  kEdit,
  kGroupBox,
  kCheckBox,      // the page sets the check; a click only notifies
  kAutoCheckBox,
  kRadioButton,   // the page sets the check; a click only notifies
  kAutoRadioButton,
  kComboBox,      // a drop-down list; the height includes the dropped list
  kListBox,
  kVScrollBar,
  kOwnerDraw,     // a button showing an image
  kIcon,          // a field showing a stock icon
  kFrame,         // a rectangle or rule
};

// Style flags of a control, as bits.
inline constexpr unsigned kControlPassword = 1u << 0;
inline constexpr unsigned kControlAutoHScroll = 1u << 1;
inline constexpr unsigned kControlReadOnly = 1u << 2;
inline constexpr unsigned kControlMultiline = 1u << 3;
inline constexpr unsigned kControlNoWrap = 1u << 4;
inline constexpr unsigned kControlHidden = 1u << 5;
inline constexpr unsigned kControlDisabled = 1u << 6;
inline constexpr unsigned kControlSunken = 1u << 7;
inline constexpr unsigned kControlEtched = 1u << 8;
inline constexpr unsigned kControlNotify = 1u << 9;
inline constexpr unsigned kControlVScroll = 1u << 10;

struct ControlTemplate {
  int id = 0;
  ControlKind kind = ControlKind::kLeftText;
  std::string text;  // CP932
  int x = 0, y = 0, width = 0, height = 0;  // dialog units
  unsigned flags = 0;                       // kControl* bits
};

// Whether a control shows static text (LTEXT, CTEXT, RTEXT).
bool IsStaticText(ControlKind kind);

// The dialog font of every window: the proportional IPA Gothic, whose kana
// widths are close to the Japanese system font the dialog units were laid
// out for (the fixed-pitch face clips the labels).
inline constexpr char kDialogFontFace[] = "IPAPGothic";
inline constexpr int kDialogFontPoints = 9;

struct DialogTemplate {
  int id = 0;
  std::string caption;  // CP932
  int x = 0, y = 0, width = 0, height = 0;  // dialog units
  bool centered = false;
  bool child = false;  // a page filling a frame, without caption
  int font_points = kDialogFontPoints;
  std::string font_face = kDialogFontFace;  // UTF-8, a font family name
  std::vector<ControlTemplate> controls;
};

// Parses every template of `text`. False, with `error` naming the line,
// when a line cannot be read; `templates` then holds those before it.
bool ParseDialogTemplates(std::string_view text, std::vector<DialogTemplate>& templates,
                          std::string* error);

// Reads and parses a template file: a host path, or a resource path of the
// program (":/checker/report_dialog.dlg").
bool LoadDialogTemplates(std::string_view path, std::vector<DialogTemplate>& templates,
                         std::string* error);

// Every *.dlg file of a host or resource folder (":/settings"), in name
// order, into one list.
bool LoadDialogTemplateFolder(std::string_view folder, std::vector<DialogTemplate>& templates,
                              std::string* error);

// The template with `id`, or null.
const DialogTemplate* FindTemplate(const std::vector<DialogTemplate>& templates, int id);

}  // namespace zvrx::platform::ui
