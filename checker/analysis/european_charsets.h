// The European charset list: the names of the ISO-8859 character sets whose
// mail the user wants read as English, one name per CR LF line, made from
// the data-folder files "ISO501" to "ISO515" of the entries switched on.
#pragma once

#include <cstdint>
#include <string_view>

#include "shared/european_files.h"

namespace zvrx {

struct EuropeanCharsetList {
  char text[kEuropeanListMax + 1] = {};  // NUL-terminated
  int length = 0;
  std::string_view view() const { return {text, static_cast<size_t>(length)}; }
};

// Rebuilds the list from the 128-byte entry table of the judgment settings
// (nullptr: no settings, empty list). The files of the switched-on entries
// are joined in entry order as they stand, a missing file adds nothing. A
// file that would pass the 3000-byte limit adds only its complete lines
// that still fit, so no name is ever cut.
void BuildEuropeanCharsetList(EuropeanCharsetList& list, const uint8_t* entry_table);

}  // namespace zvrx
