// Dialog templates as data: a dialog's id, caption and size in dialog units
// and its controls with ids and rectangles, read from a small text form
// kept in the program's resources:
//
//   # comment
//   DIALOG <id> "<caption>" <x> <y> <width> <height> [CENTER]
//   FONT <points> "<face>"
//   <KIND> <id> "<text>" <x> <y> <width> <height>
//   END
//
// KIND is LTEXT, CTEXT, RTEXT, PUSHBUTTON or DEFPUSHBUTTON. Texts are UTF-8
// in the file (a doubled quote stands for one) and CP932 once loaded.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zvrx::platform::ui {

enum class ControlKind { kLeftText, kCenteredText, kRightText, kPushButton, kDefPushButton };

struct ControlTemplate {
  int id = 0;
  ControlKind kind = ControlKind::kLeftText;
  std::string text;  // CP932
  int x = 0, y = 0, width = 0, height = 0;  // dialog units
};

struct DialogTemplate {
  int id = 0;
  std::string caption;  // CP932
  int x = 0, y = 0, width = 0, height = 0;  // dialog units
  bool centered = false;
  int font_points = 9;
  std::string font_face = "IPAGothic";  // UTF-8, a font family name
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
