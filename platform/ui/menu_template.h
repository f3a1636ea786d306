// Menus and accelerator tables as data, read from the same resource text as
// the dialog templates:
//
//   MENU <id>
//     POPUP "<text>"
//       MENUITEM "<text>" <command id>      (a tab in the text: "\t")
//       SEPARATOR
//     END
//     MENUITEM "" 65535                     (an item of the bar itself)
//   END
//   ACCELERATORS <id>
//     VIRTKEY <hex or decimal key> <command id>   (0x23 = End)
//     CHAR <code> <command id>                     (3 = Ctrl+C)
//   END
//
// Texts are UTF-8 in the file and CP932 once loaded; "&" marks a mnemonic.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zvrx::platform::ui {

struct MenuItem {
  bool separator = false;
  std::string text;  // CP932
  int id = 0;
  std::vector<MenuItem> items;  // a popup when not empty or `popup` set
  bool popup = false;
};

struct MenuTemplate {
  int id = 0;
  std::vector<MenuItem> bar;  // the menu bar's entries, left to right
};

enum class AcceleratorKind { kVirtualKey, kCharacter };

struct Accelerator {
  AcceleratorKind kind = AcceleratorKind::kVirtualKey;
  int key = 0;  // a Windows virtual-key code, or a character code (Ctrl+letter = 1..26)
  int command = 0;
};

struct AcceleratorTable {
  int id = 0;
  std::vector<Accelerator> entries;
};

// Every MENU and ACCELERATORS block of `text`; DIALOG blocks are skipped.
// False, with `error` naming the line, when a block cannot be read.
bool ParseMenus(std::string_view text, std::vector<MenuTemplate>& menus,
                std::vector<AcceleratorTable>& accelerators, std::string* error);
bool LoadMenus(std::string_view path, std::vector<MenuTemplate>& menus,
               std::vector<AcceleratorTable>& accelerators, std::string* error);

const MenuTemplate* FindMenu(const std::vector<MenuTemplate>& menus, int id);
const AcceleratorTable* FindAccelerators(const std::vector<AcceleratorTable>& tables, int id);

}  // namespace zvrx::platform::ui
