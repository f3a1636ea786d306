// ZVRX, the resident checker: one instance per machine, a hidden window with
// a notification icon, and a worker thread that does all mail work.
#include <cstdio>
#include <string>
#include <vector>

#include "checker/app/checker_window.h"
#include "checker/app/shutdown_clock.h"
#include "checker/app/window_checker_ui.h"
#include "checker/core/checker_state.h"
#include "platform/clock.h"
#include "platform/instance_lock.h"
#include "platform/ui/application.h"
#include "platform/ui/dialog_template.h"

namespace {

constexpr char kDialogResource[] = ":/checker/report_dialog.dlg";

}  // namespace

int main(int argc, char** argv) {
  using namespace zvrx;
  auto instance = platform::InstanceLock::Acquire(kCheckerClass, kCheckerTitle);
  if (!instance) return 0;  // another checker runs

  platform::ui::Application application(argc, argv);
  std::vector<platform::ui::DialogTemplate> templates;
  std::string error;
  if (!platform::ui::LoadDialogTemplates(kDialogResource, templates, &error)) {
    std::fprintf(stderr, "ZVRX: %s\n", error.c_str());
  }

  ShutdownClock clock;
  platform::SetClock(&clock);
  int code = 0;
  {
    CheckerState state;
    WindowCheckerUi windows(std::move(templates));
    state.ui = &windows;
    // Nothing new starts while the checker is ending.
    CheckerActions real = RealCheckerActions();
    state.actions.play_sound = [&state, real] {
      if (!state.stop) real.play_sound();
    };
    state.actions.start_program = [&state, real](std::string_view line, std::string_view folder) {
      return state.stop ? -1 : real.start_program(line, folder);
    };

    CheckerWindow window(state, clock);
    platform::ui::OnTerminationSignal([&window] { window.Close(); });
    window.Create();
    code = window.Finish(application.Run());
  }
  platform::SetClock(nullptr);
  return code;
}
