// The brand check on arbitrary bytes: the first part of the input is read
// as a brand table, the rest split into a From value, a Subject and a body
// (bytes that end inside a double-byte character or a bracket, links
// without hosts, "@" and ":" everywhere). Nothing may be read outside the
// texts, and a table that parses must be usable.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "checker/analysis/brand_check.h"
#include "checker/analysis/method_dictionaries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  // Parts separated by 0x01 bytes: table, From, Subject, body.
  std::string_view parts[4];
  size_t start = 0;
  for (int i = 0; i < 4; ++i) {
    size_t end = i == 3 ? input.size() : input.find('\x01', start);
    if (end == std::string_view::npos) end = input.size();
    parts[i] = input.substr(start, end - start);
    start = end < input.size() ? end + 1 : input.size();
  }

  zvrx::BrandTable table;
  if (!zvrx::ParseBrandTable(parts[0], table)) {
    // A fixed table, so that the message parts are always exercised.
    zvrx::ParseBrandTable(
        "ZVRXBrand\t1\t100\r\n*\t*\tw3.example\r\nab,\x83\x41\x83\x43\t1x\tab.example\r\n", table);
  }
  zvrx::MailRecord record{};
  std::memcpy(record.from, parts[1].data(), std::min(parts[1].size(), size_t{zvrx::kMailFieldSize}));
  std::memcpy(record.subject, parts[2].data(),
              std::min(parts[2].size(), size_t{zvrx::kMailFieldSize}));
  const std::string body(parts[3]);

  zvrx::DictionarySet set;
  int64_t extra[zvrx::kMaxDictionaries] = {};
  zvrx::AddBrandScores(table, set, record, body.c_str(), 0, extra);
  zvrx::LinkDomains(body);
  zvrx::FoldBrandText(parts[3]);
  zvrx::BracketedTexts(parts[2]);
  return 0;
}
