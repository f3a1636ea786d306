// MailZevrox, the settings program: one copy at a time, a main frame with
// the basic page, and the other pages opened from its menu.
#include <cstdio>
#include <string>

#include "platform/instance_lock.h"
#include "platform/ui/application.h"
#include "settings/app/settings_program.h"

int main(int argc, char** argv) {
  using namespace zvrx;
  auto instance = platform::InstanceLock::Acquire(kMainFrameClass, kMainFrameTitle);
  if (!instance) return 0;  // the running copy stays as it is

  platform::ui::Application application(argc, argv);
  SettingsResources resources;
  std::string error;
  if (!LoadSettingsResources(kSettingsResourceFolder, resources, &error)) {
    std::fprintf(stderr, "MailZevrox: %s\n", error.c_str());
  }

  int code = 0;
  {
    SettingsProgram program(resources, platform::ui::PostQuit);
    platform::ui::OnTerminationSignal([&program] { program.main_frame().EndWithoutQuestions(); });
    program.Start();
    code = application.Run();
  }
  return code;
}
