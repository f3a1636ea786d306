// Inside the window layer only: the open frames by window class and the
// open dialogs by template id (the latest of each wins), as FindWindow and
// the control channel look them up. Main thread only.
#pragma once

#include <string>
#include <vector>

class QWidget;

namespace zvrx::platform::ui {

class DialogWindow;
class FrameWindow;

void RegisterDialog(DialogWindow* dialog);
void UnregisterDialog(DialogWindow* dialog);
DialogWindow* FindOpenDialog(int template_id);
std::vector<int> OpenDialogIds();

void RegisterFrame(FrameWindow* frame);
void UnregisterFrame(FrameWindow* frame);
FrameWindow* FindOpenFrame(const std::string& window_class);
// The frame whose window holds `widget`, or null.
FrameWindow* FrameOfWidget(const QWidget* widget);
std::vector<std::string> OpenFrameClasses();

}  // namespace zvrx::platform::ui
