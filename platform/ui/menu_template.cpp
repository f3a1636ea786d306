#include "platform/ui/menu_template.h"

#include <QFile>
#include <cstdlib>

#include "platform/cp932.h"
#include "platform/ui/resource_text.h"

namespace zvrx::platform::ui {

namespace {

// Decimal or 0x hex, within a WORD as command ids and key codes are.
bool Number(const std::string& token, int& value) {
  return ParseResourceNumber(token, 0, 0, 0xFFFF, value);
}

}  // namespace

bool ParseMenus(std::string_view text, std::vector<MenuTemplate>& menus,
                std::vector<AcceleratorTable>& accelerators, std::string* error) {
  ResourceLines lines(text);
  // The items being filled: the bar of the open menu, then open popups.
  std::vector<std::vector<MenuItem>*> open;
  MenuTemplate menu;
  AcceleratorTable table;
  enum class Block { kNone, kMenu, kAccelerators, kDialog } block = Block::kNone;
  auto fail = [&](const std::string& why) {
    if (error) *error = "line " + std::to_string(lines.line_number()) + ": " + why;
    return false;
  };
  std::vector<std::string> t;
  bool broken = false;
  while (lines.Next(t, broken)) {
    if (broken) return fail("unclosed quote");
    switch (block) {
      case Block::kNone:
        if (t[0] == "DIALOG") {
          block = Block::kDialog;
        } else if (t[0] == "MENU") {
          menu = MenuTemplate();
          if (t.size() != 2 || !Number(t[1], menu.id)) return fail("MENU id");
          open = {&menu.bar};
          block = Block::kMenu;
        } else if (t[0] == "ACCELERATORS") {
          table = AcceleratorTable();
          if (t.size() != 2 || !Number(t[1], table.id)) return fail("ACCELERATORS id");
          block = Block::kAccelerators;
        } else {
          return fail("outside a block: " + t[0]);
        }
        break;
      case Block::kDialog:
        if (t[0] == "END") block = Block::kNone;
        break;
      case Block::kMenu: {
        std::vector<MenuItem>& items = *open.back();
        if (t[0] == "END") {
          open.pop_back();
          if (open.empty()) {
            menus.push_back(std::move(menu));
            block = Block::kNone;
          }
        } else if (t[0] == "POPUP") {
          if (t.size() != 2 || !IsResourceText(t[1])) return fail("POPUP \"text\"");
          MenuItem popup;
          popup.popup = true;
          popup.text = Utf8ToCp932(t[1].substr(1));
          items.push_back(std::move(popup));
          open.push_back(&items.back().items);
        } else if (t[0] == "MENUITEM") {
          MenuItem item;
          if (t.size() == 2 && t[1] == "SEPARATOR") {
            item.separator = true;
          } else if (t.size() != 3 || !IsResourceText(t[1]) || !Number(t[2], item.id)) {
            return fail("MENUITEM \"text\" id");
          } else {
            item.text = Utf8ToCp932(t[1].substr(1));
          }
          items.push_back(std::move(item));
        } else if (t[0] == "SEPARATOR" && t.size() == 1) {
          MenuItem item;
          item.separator = true;
          items.push_back(std::move(item));
        } else {
          return fail("unknown menu line " + t[0]);
        }
        break;
      }
      case Block::kAccelerators:
        if (t[0] == "END") {
          accelerators.push_back(std::move(table));
          block = Block::kNone;
        } else {
          Accelerator entry;
          if (t[0] == "VIRTKEY") {
            entry.kind = AcceleratorKind::kVirtualKey;
          } else if (t[0] == "CHAR") {
            entry.kind = AcceleratorKind::kCharacter;
          } else {
            return fail("unknown accelerator kind " + t[0]);
          }
          if (t.size() != 3 || !Number(t[1], entry.key) || !Number(t[2], entry.command)) {
            return fail("VIRTKEY|CHAR key command");
          }
          table.entries.push_back(entry);
        }
        break;
    }
  }
  if (block != Block::kNone) return fail("no END");
  return true;
}

bool LoadMenus(std::string_view path, std::vector<MenuTemplate>& menus,
               std::vector<AcceleratorTable>& accelerators, std::string* error) {
  QFile file(QString::fromStdString(std::string(path)));
  if (!file.open(QIODevice::ReadOnly)) {
    if (error) *error = "cannot read " + std::string(path);
    return false;
  }
  QByteArray bytes = file.readAll();
  return ParseMenus(std::string_view(bytes.constData(), bytes.size()), menus, accelerators, error);
}

const MenuTemplate* FindMenu(const std::vector<MenuTemplate>& menus, int id) {
  for (const MenuTemplate& menu : menus) {
    if (menu.id == id) return &menu;
  }
  return nullptr;
}

const AcceleratorTable* FindAccelerators(const std::vector<AcceleratorTable>& tables, int id) {
  for (const AcceleratorTable& table : tables) {
    if (table.id == id) return &table;
  }
  return nullptr;
}

}  // namespace zvrx::platform::ui
