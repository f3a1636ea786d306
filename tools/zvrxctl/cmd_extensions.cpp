// zvrxctl modern, and show's lines for the extension settings file
// "ZVRXExt.ini". The checker reads that file afresh at every check, so
// nothing is handed to a running checker here.
#include <cstdio>
#include <string>

#include "platform/files.h"
#include "shared/extension_settings.h"
#include "shared/locations.h"
#include "tools/zvrxctl/commands.h"

namespace zvrx::ctl {

int RunModern(const Args& args) {
  if (args.size() != 1 || (args[0] != "on" && args[0] != "off")) {
    return Fail("modern: say on or off");
  }
  std::string error = ChangeExtensionSettings({{kModernMailKey, args[0]}});
  if (error.empty()) return 0;
  if (!platform::FolderExists(DataFolder())) error += " (run init first)";
  return Fail("modern: " + error);
}

void ShowExtensionSettings() {
  const ExtensionSettings settings = LoadExtensionSettings();
  std::printf("modern mail (UTF-8, Base64, HTML): %s\n",
              settings.Bool(kModernMailKey) ? "on" : "off");
  for (const std::string& problem : settings.problems()) std::printf("%s\n", problem.c_str());
}

}  // namespace zvrx::ctl
