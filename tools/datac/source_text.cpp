#include "tools/datac/source_text.h"

#include <fstream>
#include <iterator>

#include "platform/parse_integer.h"
#include "platform/text_converter.h"

namespace zvrx::datac {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

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
    // A source saved in another encoding is refused instead of being
    // compiled into garbage.
    if (platform::InvalidUtf8At(line)) {
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
  if (text.starts_with('+')) text.remove_prefix(1);
  const std::optional<int64_t> value = platform::ParseInteger<int64_t>(text);
  if (!value || *value < low || *value > high) return std::nullopt;
  return value;
}

}  // namespace zvrx::datac
