// Modal dialogs built from a template. Controls are placed at their
// dialog-unit rectangles and reached by id; page code speaks in ids and
// CP932 text only.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/ui/dialog_template.h"
#include "platform/ui/transcript.h"
#include "platform/window_metrics.h"

namespace zvrx::platform::ui {

BaseUnits DialogBaseUnits(int font_points, std::string_view font_face);
PixelRect DialogUnitsToPixels(int x, int y, int width, int height, BaseUnits base);

// What the handlers of a running dialog can do to it.
class DialogContext {
 public:
  virtual ~DialogContext() = default;
  virtual void SetItemText(int id, std::string_view cp932) = 0;
  virtual std::string GetItemText(int id) const = 0;
  // Ends the modal loop; DoModalDialog returns `result`.
  virtual void EndDialog(int result) = 0;
  // The pixel rectangle of a control, or of the dialog's client area for
  // id 0; for layout checks.
  virtual PixelRect ItemRect(int id) const = 0;
};

struct DialogHandlers {
  // WM_INITDIALOG: fill the controls.
  std::function<void(DialogContext&)> init;
  // WM_COMMAND from a button. Without a handler kIdOk and kIdCancel end the
  // dialog with their id.
  std::function<void(DialogContext&, int id)> command;
  // While the dialog is up, before a scripted answer is pressed: lets tests
  // look at the running dialog.
  std::function<void(DialogContext&)> shown;
};

// Shows the dialog modally on the main thread and returns the EndDialog
// result; kIdCancel when the loop ended otherwise (the program is closing).
int DoModalDialog(const DialogTemplate& dialog, const DialogHandlers& handlers);

}  // namespace zvrx::platform::ui
