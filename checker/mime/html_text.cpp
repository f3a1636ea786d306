#include "checker/mime/html_text.h"

#include <cstdint>

#include "checker/mime/charset_conversion.h"

namespace zvrx::mime {
namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }
bool IsAlnum(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// A reference longer than this is not one (the longest we know is 6).
constexpr size_t kMaxReferenceLength = 10;

struct NamedReference {
  const char* name;
  uint32_t code_point;  // 0x20 for the blanks, 0 for what is dropped
};
constexpr NamedReference kNamedReferences[] = {
    {"amp", '&'},      {"lt", '<'},       {"gt", '>'},       {"quot", '"'},
    {"apos", '\''},    {"nbsp", ' '},     {"ensp", ' '},     {"emsp", ' '},
    {"thinsp", ' '},   {"zwnj", 0},       {"zwj", 0},        {"shy", 0},
    {"lrm", 0},        {"rlm", 0},        {"copy", 0xA9},    {"reg", 0xAE},
    {"trade", 0x2122}, {"yen", 0xA5},     {"times", 0xD7},   {"divide", 0xF7},
    {"hellip", 0x2026}, {"mdash", 0x2014}, {"ndash", 0x2013}, {"laquo", 0xAB},
    {"raquo", 0xBB},   {"middot", 0xB7},  {"bull", 0x2022},  {"euro", 0x20AC},
    {"larr", 0x2190},  {"uarr", 0x2191},  {"rarr", 0x2192},  {"darr", 0x2193},
    {"lsquo", 0x2018}, {"rsquo", 0x2019}, {"ldquo", 0x201C}, {"rdquo", 0x201D},
    {"deg", 0xB0},     {"plusmn", 0xB1},  {"sect", 0xA7},    {"para", 0xB6},
    {"cent", 0xA2},    {"pound", 0xA3},   {"hearts", 0x2665}, {"starf", 0x2605},
};

class TextWriter {
 public:
  TextWriter(std::string& out, bool utf8) : out_(out), utf8_(utf8) {}

  void Char(char c) {
    if (blank_pending_) {
      out_.push_back(' ');
      blank_pending_ = false;
    }
    out_.push_back(c);
  }
  void CodePoint(uint32_t c) {
    if (c == 0) return;  // dropped
    if (c == ' ') return Blank();
    if (c < 0x80) return Char(static_cast<char>(c));
    if (!utf8_) return Blank();
    std::string bytes;
    AppendUtf8(bytes, c);
    for (char b : bytes) Char(b);
  }
  void Text(std::string_view text) {
    for (char c : text) IsSpace(c) ? Blank() : Char(c);
  }
  // Runs of blanks become one, and none at a line's start.
  void Blank() {
    if (!out_.empty() && out_.back() != '\n') blank_pending_ = true;
  }
  void LineBreak(bool always) {
    blank_pending_ = false;
    if (always || (!out_.empty() && out_.back() != '\n')) out_ += "\r\n";
  }
  size_t size() const { return out_.size(); }
  std::string_view Since(size_t at) const { return std::string_view(out_).substr(at); }

 private:
  std::string& out_;
  bool utf8_;
  bool blank_pending_ = false;
};

// The character reference at `at` ('&'): its code point and length, or a
// length of 0 when there is none (the '&' is then text).
size_t ParseReference(std::string_view html, size_t at, uint32_t& code_point) {
  size_t i = at + 1;
  if (i < html.size() && html[i] == '#') {
    ++i;
    const bool hex = i < html.size() && (html[i] == 'x' || html[i] == 'X');
    if (hex) ++i;
    const size_t digits_start = i;
    uint32_t value = 0;
    while (i < html.size() && i - digits_start < 8) {
      const char c = html[i];
      int digit = -1;
      if (c >= '0' && c <= '9') digit = c - '0';
      else if (hex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
      else if (hex && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
      if (digit < 0) break;
      value = value * (hex ? 16 : 10) + static_cast<uint32_t>(digit);
      ++i;
    }
    if (i == digits_start) return 0;
    if (i < html.size() && html[i] == ';') ++i;
    // NUL, surrogates and values beyond Unicode are no characters: a blank.
    code_point = (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
                     ? ' '
                     : value;
    return i - at;
  }
  const size_t name_start = i;
  while (i < html.size() && IsAlnum(html[i]) && i - name_start <= kMaxReferenceLength) ++i;
  if (i >= html.size() || html[i] != ';') return 0;
  const std::string_view name = html.substr(name_start, i - name_start);
  for (const NamedReference& reference : kNamedReferences) {
    if (name == reference.name) {
      code_point = reference.code_point;
      return i + 1 - at;
    }
  }
  return 0;
}

// Decodes references in an attribute value.
std::string DecodeAttribute(std::string_view value) {
  std::string out;
  for (size_t i = 0; i < value.size();) {
    uint32_t code_point = 0;
    const size_t length = value[i] == '&' ? ParseReference(value, i, code_point) : 0;
    if (length == 0) {
      out.push_back(value[i++]);
      continue;
    }
    if (code_point != 0) AppendUtf8(out, code_point);
    i += length;
  }
  return out;
}

bool StartsWithNoCase(std::string_view text, size_t at, std::string_view prefix) {
  if (text.size() - at < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (LowerAscii(text[at + i]) != prefix[i]) return false;
  }
  return true;
}

size_t FindNoCase(std::string_view text, size_t from, std::string_view lower_pattern) {
  for (size_t at = text.find('<', from); at != std::string_view::npos; at = text.find('<', at + 1)) {
    if (StartsWithNoCase(text, at, lower_pattern)) return at;
  }
  return std::string_view::npos;
}

bool IsOneOf(std::string_view name, std::initializer_list<std::string_view> names) {
  for (std::string_view candidate : names) {
    if (name == candidate) return true;
  }
  return false;
}

struct Tag {
  std::string name;  // lower case
  bool closing = false;
  std::string href;
  size_t end = 0;  // behind the '>'; 0 when the tag is cut off
};

// The tag at `at` ('<' followed by a letter or '/').
Tag ParseTag(std::string_view html, size_t at) {
  Tag tag;
  size_t i = at + 1;
  if (i < html.size() && html[i] == '/') {
    tag.closing = true;
    ++i;
  }
  while (i < html.size() && IsAlnum(html[i]) && tag.name.size() < 16) {
    tag.name.push_back(LowerAscii(html[i++]));
  }
  // Attributes: only href matters; quoted values may hold '>'.
  while (i < html.size() && html[i] != '>') {
    if (IsSpace(html[i]) || html[i] == '/') {
      ++i;
      continue;
    }
    const size_t name_start = i;
    while (i < html.size() && html[i] != '=' && html[i] != '>' && !IsSpace(html[i])) ++i;
    const std::string_view name = html.substr(name_start, i - name_start);
    while (i < html.size() && IsSpace(html[i])) ++i;
    if (i >= html.size() || html[i] != '=') continue;
    ++i;
    while (i < html.size() && IsSpace(html[i])) ++i;
    size_t value_start = i;
    size_t value_end;
    if (i < html.size() && (html[i] == '"' || html[i] == '\'')) {
      const size_t close = html.find(html[i], i + 1);
      if (close == std::string_view::npos) return tag;  // cut off
      value_start = i + 1;
      value_end = close;
      i = close + 1;
    } else {
      while (i < html.size() && html[i] != '>' && !IsSpace(html[i])) ++i;
      value_end = i;
    }
    if (name.size() == 4 && StartsWithNoCase(name, 0, "href")) {
      tag.href = DecodeAttribute(html.substr(value_start, value_end - value_start));
    }
  }
  if (i < html.size()) tag.end = i + 1;
  return tag;
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace

std::string HtmlToText(std::string_view html, bool utf8) {
  std::string out;
  out.reserve(html.size());
  TextWriter writer(out, utf8);
  std::string href;        // of the open link
  size_t link_start = 0;   // where its text starts in `out`
  auto end_link = [&] {
    const std::string_view target = TrimBlanks(href);
    if (!target.empty() && target.front() != '#' && TrimBlanks(writer.Since(link_start)) != target) {
      writer.Blank();
      writer.Text(target);
      writer.Blank();
    }
    href.clear();
  };

  size_t i = 0;
  while (i < html.size()) {
    const char c = html[i];
    if (c == '&') {
      uint32_t code_point = 0;
      const size_t length = ParseReference(html, i, code_point);
      if (length > 0) {
        writer.CodePoint(code_point);
        i += length;
        continue;
      }
      writer.Char(c);
      ++i;
      continue;
    }
    if (c != '<') {
      IsSpace(c) ? writer.Blank() : writer.Char(c);
      ++i;
      continue;
    }
    if (html.substr(i, 4) == "<!--") {
      const size_t close = html.find("-->", i + 4);
      if (close == std::string_view::npos) break;
      i = close + 3;
      continue;
    }
    const char next = i + 1 < html.size() ? html[i + 1] : '\0';
    if (next == '!' || next == '?') {  // DOCTYPE, CDATA, processing instructions
      const size_t close = html.find('>', i);
      if (close == std::string_view::npos) break;
      i = close + 1;
      continue;
    }
    const bool letter = (next >= 'a' && next <= 'z') || (next >= 'A' && next <= 'Z');
    if (!letter && next != '/') {
      writer.Char(c);  // a '<' in running text
      ++i;
      continue;
    }
    Tag tag = ParseTag(html, i);
    if (tag.end == 0) break;  // cut off by the end of the top
    i = tag.end;
    // What a reader never sees: scripts, style sheets and the document's
    // title (mail programs show the Subject, which the title repeats).
    if (!tag.closing && (tag.name == "script" || tag.name == "style" || tag.name == "title")) {
      const size_t close = FindNoCase(html, i, "</" + tag.name);
      if (close == std::string_view::npos) break;
      const size_t close_end = html.find('>', close);
      if (close_end == std::string_view::npos) break;
      i = close_end + 1;
      continue;
    }
    if (tag.name == "a") {
      if (!href.empty()) end_link();
      if (!tag.closing) {
        href = std::move(tag.href);
        link_start = writer.size();
      }
      continue;
    }
    if (tag.name == "br") {
      writer.LineBreak(true);
    } else if (IsOneOf(tag.name, {"p", "div", "li", "tr", "h1", "h2", "h3", "h4", "h5", "h6",
                                  "table", "ul", "ol", "dl", "dt", "dd", "blockquote", "hr",
                                  "title", "pre", "center", "section", "article", "header",
                                  "footer", "form", "address"})) {
      writer.LineBreak(false);
    } else if (tag.name == "td" || tag.name == "th" || tag.name == "img") {
      writer.Blank();
    }
  }
  if (!href.empty()) end_link();
  return out;
}

}  // namespace zvrx::mime
