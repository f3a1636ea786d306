#include "checker/analysis/european_charsets.h"

#include <cstring>
#include <string>

#include "platform/files.h"
#include "shared/locations.h"

namespace zvrx {

void BuildEuropeanCharsetList(EuropeanCharsetList& list, const uint8_t* entry_table) {
  std::memset(list.text, 0, sizeof list.text);
  list.length = 0;
  if (entry_table == nullptr) return;
  const std::string folder = DataFolder();
  for (int entry = 1; entry < kEuropeanEntryCount; ++entry) {
    if (entry_table[entry * kEuropeanEntryBytes] == 0) continue;
    const int room = kEuropeanListMax - list.length;
    if (room <= 0) break;
    char name[7];
    EuropeanFileName(entry, name);
    // One byte more than fits tells whether the whole file fits.
    auto bytes = platform::ReadFileBytes(folder + name, static_cast<size_t>(room) + 1);
    if (!bytes || bytes->empty()) continue;
    size_t take = bytes->size();
    if (take > static_cast<size_t>(room)) {
      // Cut after the last line end that fits.
      take = 0;
      for (size_t i = static_cast<size_t>(room); i > 0; --i) {
        if ((*bytes)[i - 1] == '\n') {
          take = i;
          break;
        }
      }
    }
    std::memcpy(list.text + list.length, bytes->data(), take);
    list.length += static_cast<int>(take);
  }
  list.text[list.length] = '\0';
}

}  // namespace zvrx
