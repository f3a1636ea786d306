// String tables as data (LoadString), in the resource text form:
//
//   STRINGTABLE
//     <id> "<text>"
//   END
//
// Texts are UTF-8 in the file and CP932 once loaded.
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace zvrx::platform::ui {

using StringTable = std::map<int, std::string>;

// Every STRINGTABLE block of `text` into `table`. False, with `error`
// naming the line, when a line cannot be read.
bool ParseStringTable(std::string_view text, StringTable& table, std::string* error);
// Reads a host or resource file (":/help/strings.rc") and parses it.
bool LoadStringTable(std::string_view path, StringTable& table, std::string* error);

// LoadString: the text of `id` cut to `buffer_bytes` less its terminator,
// never inside a double-byte character; "" when the table lacks it.
std::string LoadTableString(const StringTable& table, int id, size_t buffer_bytes);

}  // namespace zvrx::platform::ui
