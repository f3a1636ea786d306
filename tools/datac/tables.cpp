#include "tools/datac/tables.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include "shared/brand_table_format.h"
#include "shared/data_scramble.h"
#include "shared/dictionary_format.h"
#include "tools/datac/dictionary_source.h"

namespace zvrx::datac {
namespace {

constexpr int64_t kMaxBound = 0x7FFF;  // the bounds are 16-bit signed

struct Keyword {
  std::string text;
  int32_t weight;
};

}  // namespace

std::optional<std::string> CompileSubjectTable(const SourceFile& file, Diagnostics& diag) {
  const size_t errors_before = diag.errors.size();
  std::map<std::string, std::pair<int, int64_t>> header;  // key -> line, value
  std::vector<Keyword> keywords;
  for (const auto& line : file.lines) {
    if (line.text.find('|') == std::string::npos) {
      const auto h = ParseHeaderLine(line.text);
      if (!keywords.empty() || !h || (h->key != "case" && h->key != "lower" && h->key != "upper")) {
        diag.Error(file.path, line.number,
                   "expected 'case:', 'lower:', 'upper:' before 'keyword | weight'");
        continue;
      }
      std::optional<int64_t> value;
      if (h->key == "case") {
        if (h->value == "exact") value = 0;
        if (h->value == "ignore") value = 1;
        if (!value) diag.Error(file.path, line.number, "case must be 'exact' or 'ignore'");
      } else {
        value = ParseInteger(h->value, 0, kMaxBound);
        if (!value) diag.Error(file.path, line.number, "bound must be 0 to 32767");
      }
      if (value) header[h->key] = {line.number, *value};
      continue;
    }
    const auto fields = SplitTrimmed(line.text, '|');
    if (fields.size() != 2) {
      diag.Error(file.path, line.number, "expected 'keyword | weight'");
      continue;
    }
    auto text = platform::Utf8ToCp932Exactly(fields[0]);
    auto weight = ParseInteger(fields[1], -kMaxWeight, kMaxWeight);
    if (!text) {
      diag.Error(file.path, line.number, "'" + fields[0] + "' has characters outside CP932");
    } else if (text->empty() || text->size() >= static_cast<size_t>(kSubjectKeywordSize)) {
      diag.Error(file.path, line.number, "keyword must be 1 to 35 bytes in CP932");
    }
    if (!weight) diag.Error(file.path, line.number, "bad weight '" + fields[1] + "'");
    if (text && weight) keywords.push_back({*text, static_cast<int32_t>(*weight)});
  }
  for (const char* key : {"case", "lower", "upper"}) {
    if (!header.count(key)) diag.Error(file.path, 0, std::string("missing '") + key + ":'");
  }
  if (header.count("lower") && header.count("upper")) {
    const int64_t lower = header["lower"].second;
    const int64_t upper = header["upper"].second;
    if (lower >= upper) diag.Error(file.path, header["upper"].first, "upper must exceed lower");
    // (upper - L) * sum is computed in 32 bits.
    int64_t total = 0;
    for (const auto& k : keywords) total += std::llabs(k.weight);
    if (total * upper > INT32_MAX) {
      diag.Error(file.path, 0, "keyword weights too large for the score arithmetic");
    }
  }
  if (keywords.size() > static_cast<size_t>(kMaxBound)) {
    diag.Error(file.path, 0, "more than 32767 keywords");
  }
  if (diag.errors.size() != errors_before) return std::nullopt;

  std::string out(kSubjectHeaderSize + kSubjectRecordSize * keywords.size(), '\0');
  WriteBe16(out.data() + kSubjectCaseFlagOffset, static_cast<uint16_t>(header["case"].second));
  WriteBe16(out.data() + kSubjectLowerOffset, static_cast<uint16_t>(header["lower"].second));
  WriteBe16(out.data() + kSubjectUpperOffset, static_cast<uint16_t>(header["upper"].second));
  WriteBe16(out.data() + kSubjectCountOffset, static_cast<uint16_t>(keywords.size()));
  for (size_t r = 0; r < keywords.size(); ++r) {
    char* record = out.data() + kSubjectHeaderSize + kSubjectRecordSize * r;
    std::memcpy(record, keywords[r].text.data(), keywords[r].text.size());
    WriteBe32(record + kSubjectWeightOffset, static_cast<uint32_t>(keywords[r].weight));
  }
  DataScramble(out.data(), out.size());
  return out;
}

std::optional<std::string> CompileThresholds(const SourceFile& file, Diagnostics& diag) {
  const size_t errors_before = diag.errors.size();
  std::optional<int64_t> p[kThresholdCount];
  // Bases may be anything sensible; slopes times a 20000-byte text must stay
  // inside 32 bits.
  static constexpr int64_t kLow[kThresholdCount] = {-100000, 0, -100000, 0, -100000, 0, 0, 0};
  static constexpr int64_t kHigh[kThresholdCount] = {100000, 10000, 100000, 10000,
                                                     100000, 10000, 20000, 10000};
  for (const auto& line : file.lines) {
    const auto h = ParseHeaderLine(line.text);
    if (!h || h->key.size() != 2 || h->key[0] != 'P' || h->key[1] < '0' || h->key[1] > '7') {
      diag.Error(file.path, line.number, "expected 'P0:' to 'P7:'");
      continue;
    }
    const int n = h->key[1] - '0';
    if (p[n]) {
      diag.Error(file.path, line.number, h->key + " given twice");
      continue;
    }
    p[n] = ParseInteger(h->value, kLow[n], kHigh[n]);
    if (!p[n]) {
      diag.Error(file.path, line.number, "bad number for " + h->key + " (allowed " +
                                             std::to_string(kLow[n]) + " to " +
                                             std::to_string(kHigh[n]) + ")");
      p[n] = 0;
    }
  }
  for (int n = 0; n < kThresholdCount; ++n) {
    if (!p[n]) diag.Error(file.path, 0, "missing P" + std::to_string(n));
  }
  if (diag.errors.size() != errors_before) return std::nullopt;
  // "Somewhat lenient" must never delete what "standard" keeps, nor
  // "standard" what "somewhat strict" keeps.
  if (!(*p[0] >= *p[2] && *p[2] >= *p[4] && *p[1] >= *p[3] && *p[3] >= *p[5])) {
    diag.Error(file.path, 0,
               "thresholds must not fall from lenient (P0, P1) to standard (P2, P3) to strict "
               "(P4, P5) the wrong way");
    return std::nullopt;
  }
  std::string out(kThresholdFileSize, '\0');
  for (int n = 0; n < kThresholdCount; ++n) {
    WriteBe32(out.data() + 4 * n, static_cast<uint32_t>(*p[n]));
  }
  return out;
}

namespace {

std::optional<std::string> CompileLines(const SourceFile& file, Diagnostics& diag,
                                        bool ascii_name) {
  const size_t errors_before = diag.errors.size();
  std::string out;
  for (const auto& line : file.lines) {
    auto text = platform::Utf8ToCp932Exactly(line.text);
    if (!text) {
      diag.Error(file.path, line.number, "characters outside CP932");
      continue;
    }
    if (text->size() > static_cast<size_t>(kMaxListLineLength)) {
      diag.Error(file.path, line.number, "line longer than 63 bytes");
      continue;
    }
    if (ascii_name) {
      bool ok = true;
      for (char c : *text) ok = ok && c > ' ' && c < 0x7F;
      if (!ok) {
        diag.Error(file.path, line.number, "a charset name is printable ASCII without blanks");
        continue;
      }
    }
    out += *text;
    out += "\r\n";
  }
  if (diag.errors.size() != errors_before) return std::nullopt;
  return out;
}

}  // namespace

std::optional<std::string> CompileSignList(const SourceFile& file, Diagnostics& diag) {
  auto out = CompileLines(file, diag, false);
  if (out) DataScramble(out->data(), out->size());
  return out;
}

std::optional<std::string> CompileCharsetFile(const SourceFile& file, Diagnostics& diag) {
  return CompileLines(file, diag, true);
}

namespace {

// Domains of a field, each checked; "-" alone is none.
std::optional<std::vector<std::string>> BrandDomains(const std::string& field,
                                                     const SourceFile& file, int line,
                                                     Diagnostics& diag) {
  std::vector<std::string> domains;
  if (field == "-") return domains;
  bool ok = true;
  for (const std::string& domain : SplitTrimmed(field, ',')) {
    if (!IsBrandDomainName(domain)) {
      diag.Error(file.path, line, "'" + domain + "' is no lower-case domain name");
      ok = false;
      continue;
    }
    domains.push_back(domain);
  }
  if (!ok) return std::nullopt;
  return domains;
}

std::string JoinComma(const std::vector<std::string>& items) {
  std::string out;
  for (const std::string& item : items) out += (out.empty() ? "" : ",") + item;
  return out;
}

}  // namespace

std::optional<std::string> CompileBrandTable(const SourceFile& file, Diagnostics& diag) {
  const size_t errors_before = diag.errors.size();
  std::optional<int64_t> score;
  std::vector<std::string> shared;
  std::string brands;
  for (const auto& line : file.lines) {
    if (line.text.find('|') == std::string::npos) {
      const auto h = ParseHeaderLine(line.text);
      if (!h || (h->key != "score" && h->key != "shared")) {
        diag.Error(file.path, line.number,
                   "expected 'score:', 'shared:' or 'names | kinds | domains'");
        continue;
      }
      if (h->key == "score") {
        if (score) diag.Error(file.path, line.number, "score given twice");
        score = ParseInteger(h->value, 0, kMaxBrandScore);
        if (!score) diag.Error(file.path, line.number, "score must be 0 to 10000");
      } else if (auto domains = BrandDomains(h->value, file, line.number, diag)) {
        shared.insert(shared.end(), domains->begin(), domains->end());
      }
      continue;
    }
    const auto fields = SplitTrimmed(line.text, '|');
    if (fields.size() != 3) {
      diag.Error(file.path, line.number, "expected 'names | kinds | domains'");
      continue;
    }
    std::vector<std::string> names;
    for (const std::string& name : SplitTrimmed(fields[0], ',')) {
      auto text = platform::Utf8ToCp932Exactly(name);
      if (!text) {
        diag.Error(file.path, line.number, "'" + name + "' has characters outside CP932");
      } else if (text->size() < 2 || text->find('\t') != std::string::npos) {
        diag.Error(file.path, line.number, "a name is at least two bytes, without TAB");
      } else {
        names.push_back(*text);
      }
    }
    if (names.empty()) diag.Error(file.path, line.number, "a brand needs a name");
    std::vector<std::string> kinds = SplitTrimmed(fields[1], ',');
    for (const std::string& kind : kinds) {
      if (!IsBrandKindName(kind)) {
        diag.Error(file.path, line.number, "'" + kind + "' is no dictionary name");
      }
    }
    if (kinds.empty() || kinds[0].empty()) {
      diag.Error(file.path, line.number, "a brand needs a kind");
    }
    auto domains = BrandDomains(fields[2], file, line.number, diag);
    if (!domains) continue;
    brands += JoinComma(names) + "\t" + JoinComma(kinds) + "\t" + JoinComma(*domains) + "\r\n";
  }
  if (!score) diag.Error(file.path, 0, "missing 'score:'");
  if (diag.errors.size() != errors_before) return std::nullopt;
  std::string out = std::string(kBrandTableMagic) + "\t" + std::to_string(kBrandTableVersion) +
                    "\t" + std::to_string(*score) + "\r\n";
  if (!shared.empty()) out += "*\t*\t" + JoinComma(shared) + "\r\n";
  return out + brands;
}

}  // namespace zvrx::datac
