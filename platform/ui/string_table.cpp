#include "platform/ui/string_table.h"

#include <QFile>

#include "platform/cp932.h"
#include "platform/ui/resource_text.h"

namespace zvrx::platform::ui {

bool ParseStringTable(std::string_view text, StringTable& table, std::string* error) {
  ResourceLines lines(text);
  std::vector<std::string> t;
  bool broken = false;
  bool inside = false;
  auto fail = [&](const std::string& what) {
    if (error != nullptr) *error = "line " + std::to_string(lines.line_number()) + ": " + what;
    return false;
  };
  while (lines.Next(t, broken)) {
    if (broken) return fail("unclosed quote");
    if (!inside) {
      if (t.size() != 1 || t[0] != "STRINGTABLE") return fail("outside a block: " + t[0]);
      inside = true;
      continue;
    }
    if (t.size() == 1 && t[0] == "END") {
      inside = false;
      continue;
    }
    int id = 0;
    if (t.size() != 2 || !ParseResourceNumber(t[0], 0, 0, 65535, id) || !IsResourceText(t[1])) {
      return fail("expected <id> \"<text>\"");
    }
    table[id] = Utf8ToCp932(std::string_view(t[1]).substr(1));
  }
  if (inside) return fail("STRINGTABLE without END");
  return true;
}

bool LoadStringTable(std::string_view path, StringTable& table, std::string* error) {
  QFile file(QString::fromStdString(std::string(path)));
  if (!file.open(QIODevice::ReadOnly)) {
    if (error != nullptr) *error = "cannot read " + std::string(path);
    return false;
  }
  const QByteArray bytes = file.readAll();
  return ParseStringTable(std::string_view(bytes.constData(), bytes.size()), table, error);
}

std::string LoadTableString(const StringTable& table, int id, size_t buffer_bytes) {
  const auto found = table.find(id);
  if (found == table.end() || buffer_bytes == 0) return {};
  return std::string(Cp932Prefix(found->second, buffer_bytes - 1));
}

}  // namespace zvrx::platform::ui
