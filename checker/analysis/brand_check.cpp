#include "checker/analysis/brand_check.h"

#include <algorithm>
#include <cstring>

#include "checker/analysis/method_dictionaries.h"
#include "checker/mime/folding.h"
#include "platform/cp932.h"
#include "platform/files.h"
#include "shared/locations.h"

namespace zvrx {

namespace {

// A few hundred brands make a few tens of kilobytes.
constexpr size_t kMaxBrandTableSize = 1024 * 1024;

bool Refuse(std::string* why, std::string reason) {
  if (why != nullptr) *why = std::move(reason);
  return false;
}

inline uint8_t U8(char c) { return static_cast<uint8_t>(c); }

bool IsAsciiAlnum(uint8_t c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// Width of the CP932 character at `at`: a lead byte with a following byte
// makes two.
size_t CharWidth(std::string_view text, size_t at) {
  return platform::IsCp932LeadByte(U8(text[at])) && at + 1 < text.size() ? 2 : 1;
}

std::vector<std::string> SplitComma(std::string_view field) {
  std::vector<std::string> items;
  size_t start = 0;
  while (start <= field.size()) {
    size_t end = field.find(',', start);
    if (end == std::string_view::npos) end = field.size();
    if (end > start) items.emplace_back(field.substr(start, end - start));
    start = end + 1;
  }
  return items;
}

std::string LowerDomain(std::string_view text) {
  std::string domain(text);
  for (char& c : domain) c = LowerAscii(c);
  while (!domain.empty() && domain.back() == '.') domain.pop_back();
  return domain;
}

// Full-width CP932 symbols that phishers and real senders both use in
// names, with their ASCII form.
struct WideSymbol {
  uint16_t code;
  char ascii;
};
constexpr WideSymbol kWideSymbols[] = {
    {0x8140, ' '}, {0x8144, '.'}, {0x8146, ':'}, {0x8149, '!'}, {0x8151, '_'},
    {0x815E, '/'}, {0x817C, '-'}, {0x817B, '+'}, {0x8195, '&'}, {0x8197, '@'},
    {0x8169, '('}, {0x816A, ')'},
};

// The ASCII form of a full-width letter, digit or symbol, or 0.
char NarrowForm(uint8_t first, uint8_t second) {
  const uint16_t code = static_cast<uint16_t>(first << 8 | second);
  if (code >= 0x824F && code <= 0x8258) return static_cast<char>('0' + (code - 0x824F));
  if (code >= 0x8260 && code <= 0x8279) return static_cast<char>('a' + (code - 0x8260));
  if (code >= 0x8281 && code <= 0x829A) return static_cast<char>('a' + (code - 0x8281));
  for (const WideSymbol& symbol : kWideSymbols) {
    if (symbol.code == code) return symbol.ascii;
  }
  return 0;
}

bool StartsWithNoCase(std::string_view text, size_t at, std::string_view prefix) {
  if (at + prefix.size() > text.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (LowerAscii(text[at + i]) != prefix[i]) return false;
  }
  return true;
}

// Bytes a host name (with a user name and port before it is cut) is made of.
bool IsAuthorityByte(uint8_t c) {
  return IsAsciiAlnum(c) || c == '.' || c == '-' || c == '_' || c == '@' || c == ':' ||
         c == '%' || c == '~' || c == '!' || c == '$' || c == '&' || c == '\'' || c == '*' ||
         c == '+' || c == ';' || c == '=';
}

// The host of the authority that starts at `at`: what follows the last "@",
// without a port, lower case ("" when nothing is left).
std::string HostAt(std::string_view body, size_t at, size_t* end) {
  size_t stop = at;
  while (stop < body.size() && IsAuthorityByte(U8(body[stop]))) ++stop;
  *end = stop;
  std::string_view authority = body.substr(at, stop - at);
  const size_t user = authority.rfind('@');
  if (user != std::string_view::npos) authority.remove_prefix(user + 1);
  const size_t port = authority.find(':');
  if (port != std::string_view::npos) authority = authority.substr(0, port);
  std::string host = LowerDomain(authority);
  // Text around a bare address in running prose: keep the host's own bytes.
  while (!host.empty() && !IsAsciiAlnum(U8(host.back()))) host.pop_back();
  return host;
}

// Finds the folded name in the folded text at a character start; a name that
// begins or ends with an ASCII letter or digit must not touch another one
// there ("au" is not found in "audit", "ANA" not in "banana").
bool NamesIn(std::string_view folded, std::string_view name) {
  if (name.empty() || name.size() > folded.size()) return false;
  // Almost every name is absent: one byte search says so before the walk
  // on character boundaries.
  if (folded.find(name) == std::string_view::npos) return false;
  const bool open_start = IsAsciiAlnum(U8(name.front()));
  const bool open_end = IsAsciiAlnum(U8(name.back()));
  uint8_t previous = 0;  // the previous single-byte character, else 0
  for (size_t at = 0; at + name.size() <= folded.size();) {
    const size_t width = CharWidth(folded, at);
    if (folded.compare(at, name.size(), name) == 0) {
      const size_t after = at + name.size();
      const bool start_ok = !open_start || !IsAsciiAlnum(previous);
      const bool end_ok = !open_end || after >= folded.size() || !IsAsciiAlnum(U8(folded[after]));
      if (start_ok && end_ok) return true;
    }
    previous = width == 1 ? U8(folded[at]) : 0;
    at += width;
  }
  return false;
}

bool WithinAny(std::string_view domain, const std::vector<std::string>& owners) {
  for (const std::string& owner : owners) {
    if (DomainWithin(domain, owner)) return true;
  }
  return false;
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// A folded text to look for names in; a whole text must be the name itself.
struct NameText {
  std::string folded;
  bool whole = false;
};

// The brand whose name found in the texts is longest ("SMBCカード" is the
// card company's, though the bank's "SMBC" is in it too); of equal names
// the first in the table.
int NamedBrand(const BrandTable& table, const std::vector<NameText>& texts) {
  int best = -1;
  size_t best_length = 0;
  for (size_t b = 0; b < table.brands.size(); ++b) {
    for (const std::string& name : table.brands[b].names) {
      if (name.size() <= best_length) continue;
      for (const NameText& text : texts) {
        const bool named =
            text.whole ? TrimBlanks(text.folded) == name : NamesIn(text.folded, name);
        if (!named) continue;
        best = static_cast<int>(b);
        best_length = name.size();
        break;
      }
    }
  }
  return best;
}

}  // namespace

std::string FoldBrandText(std::string_view cp932) {
  const std::string kana = mime::FoldHalfWidthKatakana(cp932);
  std::string out;
  out.reserve(kana.size());
  for (size_t at = 0; at < kana.size();) {
    if (CharWidth(kana, at) == 2) {
      const char narrow = NarrowForm(U8(kana[at]), U8(kana[at + 1]));
      if (narrow != 0) {
        out.push_back(narrow);
      } else {
        out.append(kana, at, 2);
      }
      at += 2;
      continue;
    }
    out.push_back(LowerAscii(kana[at]));
    ++at;
  }
  return out;
}

bool DomainWithin(std::string_view domain, std::string_view owner) {
  if (owner.empty() || domain.size() < owner.size()) return false;
  if (domain.substr(domain.size() - owner.size()) != owner) return false;
  return domain.size() == owner.size() || domain[domain.size() - owner.size() - 1] == '.';
}

std::string SenderDomain(std::string_view from) {
  std::string_view address = from;
  const size_t open = from.rfind('<');
  if (open != std::string_view::npos) {
    const size_t close = from.find('>', open);
    address = from.substr(open + 1, close == std::string_view::npos ? std::string_view::npos
                                                                    : close - open - 1);
  } else {
    // A bare address, perhaps with a comment: the word that holds the "@".
    const size_t at = from.find('@');
    if (at == std::string_view::npos) return "";
    size_t end = at;
    while (end < from.size() && from[end] != ' ' && from[end] != '\t' && from[end] != '(' &&
           from[end] != ',') {
      ++end;
    }
    address = from.substr(0, end);
  }
  const size_t at = address.rfind('@');
  if (at == std::string_view::npos) return "";
  std::string_view domain = address.substr(at + 1);
  while (!domain.empty() && (domain.back() == ' ' || domain.back() == '\t')) {
    domain.remove_suffix(1);
  }
  return LowerDomain(domain);
}

std::string DisplayName(std::string_view from) {
  const size_t open = from.rfind('<');
  if (open != std::string_view::npos) return std::string(from.substr(0, open));
  const size_t paren = from.find('(');
  if (paren != std::string_view::npos) {
    const size_t close = from.rfind(')');
    return std::string(from.substr(paren + 1, close == std::string_view::npos || close < paren
                                                   ? std::string_view::npos
                                                   : close - paren - 1));
  }
  return "";
}

std::vector<BracketedText> BracketedTexts(std::string_view subject) {
  // Opening and closing brackets: 【】 ［］ 〔〕 《》 ≪≫, and ASCII [].
  struct Pair {
    const char* open;
    const char* close;
  };
  static constexpr Pair kPairs[] = {
      {"\x81\x79", "\x81\x7a"}, {"\x81\x6d", "\x81\x6e"}, {"\x81\x6b", "\x81\x6c"},
      {"\x81\x73", "\x81\x74"}, {"\x81\xe1", "\x81\xe2"}, {"[", "]"},
  };
  std::vector<BracketedText> texts;
  for (size_t at = 0; at < subject.size();) {
    const size_t width = CharWidth(subject, at);
    bool opened = false;
    for (const Pair& pair : kPairs) {
      const size_t open_size = std::strlen(pair.open);
      if (width != open_size || subject.compare(at, open_size, pair.open) != 0) continue;
      // The closing bracket, found on character boundaries.
      for (size_t end = at + width; end < subject.size(); end += CharWidth(subject, end)) {
        const size_t close_size = std::strlen(pair.close);
        if (CharWidth(subject, end) == close_size &&
            subject.compare(end, close_size, pair.close) == 0) {
          texts.push_back({std::string(subject.substr(at + width, end - at - width)),
                           pair.open[0] == '['});
          at = end + close_size;
          opened = true;
          break;
        }
      }
      break;
    }
    if (!opened) at += width;
  }
  return texts;
}

std::vector<std::string> LinkDomains(std::string_view body) {
  static constexpr std::string_view kSchemes[] = {"https://", "http://", "hxxps://", "hxxp://"};
  std::vector<std::string> hosts;
  auto add = [&hosts](std::string host) {
    if (host.find('.') == std::string::npos) return;
    if (std::find(hosts.begin(), hosts.end(), host) == hosts.end()) {
      hosts.push_back(std::move(host));
    }
  };
  for (size_t at = 0; at < body.size();) {
    const uint8_t c = U8(body[at]);
    if (c == 'h' || c == 'H') {
      bool found = false;
      for (std::string_view scheme : kSchemes) {
        if (StartsWithNoCase(body, at, scheme)) {
          size_t end = 0;
          add(HostAt(body, at + scheme.size(), &end));
          at = std::max(end, at + scheme.size());
          found = true;
          break;
        }
      }
      if (found) continue;
    }
    // "www." that starts a word (not inside a longer host or path).
    if ((c == 'w' || c == 'W') && StartsWithNoCase(body, at, "www.") &&
        (at == 0 || (!IsAuthorityByte(U8(body[at - 1])) && body[at - 1] != '/'))) {
      size_t end = 0;
      add(HostAt(body, at, &end));
      at = std::max(end, at + 4);
      continue;
    }
    at += CharWidth(body, at);
  }
  return hosts;
}

bool ParseBrandTable(std::string_view bytes, BrandTable& table, std::string* why) {
  table = BrandTable{};
  BrandTable parsed;
  size_t line_number = 0;
  for (size_t start = 0; start < bytes.size();) {
    size_t end = bytes.find('\n', start);
    if (end == std::string_view::npos) end = bytes.size();
    std::string_view line = bytes.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    ++line_number;
    const std::string where = "line " + std::to_string(line_number) + ": ";
    if (line.find('\0') != std::string_view::npos) return Refuse(why, where + "NUL byte");
    std::vector<std::string_view> fields;
    for (size_t f = 0; f <= line.size();) {
      size_t tab = line.find('\t', f);
      if (tab == std::string_view::npos) tab = line.size();
      fields.push_back(line.substr(f, tab - f));
      f = tab + 1;
    }
    if (line_number == 1) {
      if (fields.size() != 3 || fields[0] != kBrandTableMagic ||
          fields[1] != std::to_string(kBrandTableVersion)) {
        return Refuse(why, "not a brand table");
      }
      int32_t score = 0;
      if (fields[2].empty() || fields[2].size() > 5) return Refuse(why, where + "bad score");
      for (char c : fields[2]) {
        if (c < '0' || c > '9') return Refuse(why, where + "bad score");
        score = score * 10 + (c - '0');
      }
      if (score > kMaxBrandScore) return Refuse(why, where + "score too large");
      parsed.score = score;
      continue;
    }
    if (line.empty() && start >= bytes.size()) break;
    if (fields.size() != 3) return Refuse(why, where + "expected three fields");
    std::vector<std::string> domains = SplitComma(fields[2]);
    for (const std::string& domain : domains) {
      if (!IsBrandDomainName(domain)) return Refuse(why, where + "bad domain '" + domain + "'");
    }
    if (fields[0] == "*" && fields[1] == "*") {
      parsed.shared_domains.insert(parsed.shared_domains.end(), domains.begin(), domains.end());
      continue;
    }
    Brand brand;
    brand.domains = std::move(domains);
    brand.kinds = SplitComma(fields[1]);
    if (brand.kinds.empty()) return Refuse(why, where + "brand without a kind");
    for (const std::string& kind : brand.kinds) {
      if (!IsBrandKindName(kind)) return Refuse(why, where + "bad kind '" + kind + "'");
    }
    for (const std::string& name : SplitComma(fields[0])) {
      std::string folded = FoldBrandText(name);
      // A single letter would be found in half the display names there are.
      if (folded.size() < 2) return Refuse(why, where + "name shorter than two bytes");
      brand.names.push_back(std::move(folded));
    }
    if (brand.names.empty()) return Refuse(why, where + "brand without a name");
    parsed.brands.push_back(std::move(brand));
  }
  if (line_number == 0) return Refuse(why, "empty");
  parsed.present = true;
  table = std::move(parsed);
  return true;
}

void LoadBrandTable(BrandTable& table, std::vector<DataProblem>& problems) {
  table = BrandTable{};
  const std::string path = DataFolder() + kBrandTableName;
  auto bytes = platform::ReadFileBytes(path, kMaxBrandTableSize + 1);
  if (!bytes) {
    // The check is an extension: a data folder without its table (one made
    // by hand, or an older installation) simply has no brands to check.
    const std::string reason = UnreadableReason(path);
    if (reason != "missing") problems.push_back({kBrandTableName, reason});
    return;
  }
  if (bytes->size() > kMaxBrandTableSize) {
    problems.push_back({kBrandTableName, "damaged (far too large)"});
    return;
  }
  std::string why;
  if (!ParseBrandTable(std::string_view(bytes->data(), bytes->size()), table, &why)) {
    problems.push_back({kBrandTableName, "damaged (" + why + ")"});
  }
}

BrandFinding AddBrandScores(const BrandTable& table, const DictionarySet& set,
                            const MailRecord& record, const char* body, int32_t language,
                            int64_t (&extra)[kMaxDictionaries]) {
  BrandFinding finding;
  if (!table.present || table.score == 0) return finding;
  // The record's fields are strings by contract; strnlen keeps to the slot.
  const std::string_view from(record.from, strnlen(record.from, kMailFieldSize));
  const std::string_view subject(record.subject, strnlen(record.subject, kMailFieldSize));

  std::vector<NameText> texts;
  const std::string display = DisplayName(from);
  if (!display.empty()) texts.push_back({FoldBrandText(display), false});
  for (const BracketedText& bracketed : BracketedTexts(subject)) {
    texts.push_back({FoldBrandText(bracketed.text), bracketed.ascii});
  }
  if (texts.empty()) return finding;
  finding.brand = NamedBrand(table, texts);
  if (finding.brand < 0) return finding;
  const Brand& brand = table.brands[finding.brand];

  finding.sender_own = WithinAny(SenderDomain(from), brand.domains);
  for (const std::string& host : LinkDomains(body != nullptr ? body : "")) {
    if (WithinAny(host, table.shared_domains)) continue;
    ++finding.links;
    if (!WithinAny(host, brand.domains)) ++finding.foreign_links;
  }
  // A notice sent through a mailing service links back to the brand; a
  // phish needs its own site, or none at all when it asks for a call.
  const bool own_links_only = finding.links > 0 && finding.foreign_links == 0;
  finding.scored = finding.sender_own ? finding.foreign_links > 0 : !own_links_only;
  if (!finding.scored) return finding;

  for (size_t j = 0; j < set.dictionaries.size() && j < static_cast<size_t>(kMaxDictionaries);
       ++j) {
    const MethodDictionary& dictionary = set.dictionaries[j];
    if (dictionary.language() != language) continue;
    if (std::find(brand.kinds.begin(), brand.kinds.end(), dictionary.file_name) ==
        brand.kinds.end()) {
      continue;
    }
    extra[j] += table.score;
  }
  return finding;
}

}  // namespace zvrx
