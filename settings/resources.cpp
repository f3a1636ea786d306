#include <string>

#include "settings/settings_state.h"

namespace zvrx {

namespace {

// The menu and accelerator files of the resource folder.
constexpr const char* kMenuFiles[] = {"menus.rc"};

}  // namespace

bool LoadSettingsResources(std::string_view folder, SettingsResources& resources,
                           std::string* error) {
  bool ok = platform::ui::LoadDialogTemplateFolder(folder, resources.dialogs, error);
  for (const char* name : kMenuFiles) {
    const std::string path = std::string(folder) + "/" + name;
    std::string menu_error;
    if (!platform::ui::LoadMenus(path, resources.menus, resources.accelerators, &menu_error)) {
      if (ok && error != nullptr) *error = menu_error;
      ok = false;
    }
  }
  return ok;
}

}  // namespace zvrx
