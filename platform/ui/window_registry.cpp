#include "platform/ui/window_registry.h"

#include <QWidget>
#include <algorithm>

#include "platform/ui/dialog_window.h"
#include "platform/ui/frame_window.h"

namespace zvrx::platform::ui {

namespace {

// Windows keeps one window list per session; the program's share of it is
// process-wide here too.
struct Registry {
  std::vector<DialogWindow*> dialogs;  // oldest first
  std::vector<FrameWindow*> frames;
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

template <typename T>
void Remove(std::vector<T*>& list, T* item) {
  list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

}  // namespace

void RegisterDialog(DialogWindow* dialog) { TheRegistry().dialogs.push_back(dialog); }

void UnregisterDialog(DialogWindow* dialog) { Remove(TheRegistry().dialogs, dialog); }

DialogWindow* FindOpenDialog(int template_id) {
  const auto& dialogs = TheRegistry().dialogs;
  for (auto it = dialogs.rbegin(); it != dialogs.rend(); ++it) {
    if ((*it)->TemplateId() == template_id) return *it;
  }
  return nullptr;
}

std::vector<int> OpenDialogIds() {
  std::vector<int> ids;
  for (DialogWindow* dialog : TheRegistry().dialogs) ids.push_back(dialog->TemplateId());
  return ids;
}

void RegisterFrame(FrameWindow* frame) { TheRegistry().frames.push_back(frame); }

void UnregisterFrame(FrameWindow* frame) { Remove(TheRegistry().frames, frame); }

FrameWindow* FindOpenFrame(const std::string& window_class) {
  const auto& frames = TheRegistry().frames;
  for (auto it = frames.rbegin(); it != frames.rend(); ++it) {
    if ((*it)->WindowClass() == window_class) return *it;
  }
  return nullptr;
}

FrameWindow* FrameOfWidget(const QWidget* widget) {
  if (widget == nullptr) return nullptr;
  const QWidget* window = widget->window();
  for (FrameWindow* frame : TheRegistry().frames) {
    if (frame->window() == window) return frame;
  }
  return nullptr;
}

std::vector<std::string> OpenFrameClasses() {
  std::vector<std::string> classes;
  for (FrameWindow* frame : TheRegistry().frames) classes.push_back(frame->WindowClass());
  return classes;
}

}  // namespace zvrx::platform::ui
