// ZvrxHelp, the help viewer. Takes no arguments and looks for no running
// copy: every start opens a viewer of its own.
#include <cstdio>
#include <string>

#include "help/app/help_viewer.h"
#include "platform/ui/application.h"

int main(int argc, char** argv) {
  using namespace zvrx;
  platform::ui::Application application(argc, argv);
  help::HelpResources resources;
  std::string error;
  if (!help::LoadHelpResources(help::kHelpResourceFolder, resources, &error)) {
    std::fprintf(stderr, "ZvrxHelp: %s\n", error.c_str());
  }
  int code = 0;
  {
    help::HelpViewer viewer(resources, platform::ui::PostQuit);
    platform::ui::OnTerminationSignal([&viewer] { viewer.End(); });
    viewer.Start();
    code = application.Run();
  }
  return code;
}
