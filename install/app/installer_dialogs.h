// The installer's windows: the licence agreement (105) and the main dialog
// (101) with Install, remove and exit. The work itself is installer.h's.
#pragma once

#include <string>
#include <vector>

#include "install/installer.h"
#include "platform/ui/dialog_template.h"

namespace zvrx {

inline constexpr int kLicenceDialog = 105;
inline constexpr int kLicenceText = 1001;
inline constexpr int kLicenceAgree = 1;
inline constexpr int kLicenceDisagree = 1000;
inline constexpr int kLicenceFocusTaker = 1003;

inline constexpr int kMainDialog = 101;
inline constexpr int kMainStatus = 1002;
inline constexpr int kMainInstall = 1000;
inline constexpr int kMainRemove = 2;
inline constexpr int kMainExit = 1;

inline constexpr char kInstallerResource[] = ":/install/install_dialogs.dlg";

struct InstallerProgram {
  std::vector<platform::ui::DialogTemplate> templates;
  InstallerPaths paths;
  InstallerActions actions;
  bool installed = false;      // the settings program is in the install root
  bool installed_now = false;  // Install succeeded in this run
  bool agreed = false;
  StartReport started;         // what Exit started, for tests
  bool suite_started = false;
};

// Shows the licence and, once agreed, the main dialog; returns when the
// program ends.
void RunInstaller(InstallerProgram& program);

}  // namespace zvrx
