// Install: shows the licence, then installs the suite from the folder
// "Installer Resources" beside the current folder, or removes it again.
#include <cstdio>
#include <string>

#include "install/app/installer_dialogs.h"
#include "platform/drives.h"
#include "platform/ui/application.h"

int main(int argc, char** argv) {
  using namespace zvrx;
  platform::ui::Application application(argc, argv);
  InstallerProgram program;
  std::string error;
  if (!platform::ui::LoadDialogTemplates(kInstallerResource, program.templates, &error)) {
    std::fprintf(stderr, "Install: %s\n", error.c_str());
    return 1;
  }
  program.paths = BuildInstallerPaths(platform::GetWindowsDirectory(),
                                      platform::GetCurrentDirectory());
  program.actions = RealInstallerActions();
  RunInstaller(program);
  return 0;
}
