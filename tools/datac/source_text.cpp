#include "tools/datac/source_text.h"

#include <iconv.h>

#include <cerrno>
#include <charconv>
#include <fstream>
#include <iterator>

namespace zvrx::datac {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Strict UTF-8 check (no overlongs, no surrogates), so a source saved in
// another encoding is refused instead of being compiled into garbage.
bool IsValidUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    int extra;
    uint32_t cp;
    if (c < 0x80) { ++i; continue; }
    if ((c & 0xE0) == 0xC0) { extra = 1; cp = c & 0x1F; }
    else if ((c & 0xF0) == 0xE0) { extra = 2; cp = c & 0x0F; }
    else if ((c & 0xF8) == 0xF0) { extra = 3; cp = c & 0x07; }
    else return false;
    if (i + extra >= s.size()) return false;
    for (int k = 1; k <= extra; ++k) {
      const auto cc = static_cast<unsigned char>(s[i + k]);
      if ((cc & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    static constexpr uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += extra + 1;
  }
  return true;
}

}  // namespace

std::string Trim(std::string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return std::string(text.substr(begin, end - begin));
}

std::vector<std::string> SplitTrimmed(std::string_view text, char separator) {
  std::vector<std::string> pieces;
  size_t start = 0;
  while (true) {
    const size_t at = text.find(separator, start);
    if (at == std::string_view::npos) {
      pieces.push_back(Trim(text.substr(start)));
      return pieces;
    }
    pieces.push_back(Trim(text.substr(start, at - start)));
    start = at + 1;
  }
}

std::optional<SourceFile> ReadSourceFile(const std::string& path, Diagnostics& diag) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    diag.Error(path, 0, "cannot be read");
    return std::nullopt;
  }
  std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (all.compare(0, 3, "\xEF\xBB\xBF") == 0) all.erase(0, 3);

  SourceFile file;
  file.path = path;
  bool good = true;
  size_t start = 0;
  int number = 0;
  while (start < all.size()) {
    size_t end = all.find('\n', start);
    if (end == std::string::npos) end = all.size();
    ++number;
    std::string_view line(all.data() + start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    start = end + 1;
    if (!IsValidUtf8(line)) {
      diag.Error(path, number, "not UTF-8 text");
      good = false;
      continue;
    }
    std::string text = Trim(line);
    if (text.empty() || text[0] == '#') continue;
    file.lines.push_back({number, std::move(text)});
  }
  if (!good) return std::nullopt;
  return file;
}

std::optional<HeaderLine> ParseHeaderLine(std::string_view text) {
  const size_t colon = text.find(':');
  if (colon == std::string_view::npos || colon == 0) return std::nullopt;
  for (size_t i = 0; i < colon; ++i) {
    const char c = text[i];
    const bool word_char = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '_';
    if (!word_char) return std::nullopt;
  }
  return HeaderLine{std::string(text.substr(0, colon)), Trim(text.substr(colon + 1))};
}

std::optional<int64_t> ParseInteger(std::string_view text, int64_t low, int64_t high) {
  if (!text.empty() && text[0] == '+') text.remove_prefix(1);
  int64_t value = 0;
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || ptr != text.data() + text.size()) {
    return std::nullopt;
  }
  if (value < low || value > high) return std::nullopt;
  return value;
}

std::optional<std::string> ToCp932(std::string_view utf8) {
  iconv_t cd = iconv_open("CP932", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string out(utf8.size() * 2 + 8, '\0');
  char* in_ptr = const_cast<char*>(utf8.data());
  size_t in_left = utf8.size();
  char* out_ptr = out.data();
  size_t out_left = out.size();
  const size_t rc = iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left);
  iconv_close(cd);
  // A non-zero count means iconv substituted something: refuse that too.
  if (rc != 0 || in_left != 0) return std::nullopt;
  out.resize(out.size() - out_left);
  return out;
}

}  // namespace zvrx::datac
