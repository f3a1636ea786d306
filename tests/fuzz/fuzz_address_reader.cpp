// Arbitrary bytes as a text file read into a list and as a list file loaded
// by the page: no read past the text, every address 3..254 bytes and found
// in the text, the long-entry store consistent, and a loaded list's file
// text loads back to the same entries.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "settings/model/address_reader.h"
#include "settings/model/list_entries.h"

namespace {

// A width that grows with the bytes, so the shortening rule runs.
int Measure(std::string_view text) { return static_cast<int>(text.size()) * 7; }

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  zvrx::AddressReader reader(text);
  std::string_view address;
  int found = 0;
  while (reader.Next(address)) {
    Check(address.size() >= zvrx::kAddressMinBytes && address.size() <= zvrx::kAddressMaxBytes);
    Check(address.data() >= text.data() && address.data() + address.size() <= text.data() + size);
    Check(address.find('@') != std::string_view::npos);
    ++found;
  }

  zvrx::ListEntries read_list(zvrx::ListKind::kRejection, Measure, 210);
  const auto outcome = read_list.ReadAddresses(text);
  Check(size > zvrx::kReadFileMaxBytes ||
        outcome.added == std::min(found, zvrx::kReadEntryLimit));
  Check(read_list.StoreConsistent());

  zvrx::ListEntries loaded(zvrx::ListKind::kAcceptance, Measure, 210);
  loaded.Load(text);
  Check(loaded.StoreConsistent());
  const std::string file_text = loaded.FileText();
  zvrx::ListEntries again(zvrx::ListKind::kAcceptance, Measure, 210);
  again.Load(file_text);
  Check(again.FileText() == file_text);
  return 0;
}
