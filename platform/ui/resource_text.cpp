#include "platform/ui/resource_text.h"

#include <cstdlib>
#include <optional>

#include "platform/parse_integer.h"

namespace zvrx::platform::ui {

bool SplitResourceLine(std::string_view line, std::vector<std::string>& tokens) {
  size_t i = 0;
  while (i < line.size()) {
    if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r') {
      ++i;
    } else if (line[i] == '"') {
      std::string text = "\"";
      for (++i;; ++i) {
        if (i >= line.size()) return false;
        if (line[i] == '"') {
          if (i + 1 < line.size() && line[i + 1] == '"') {
            text += '"';
            ++i;
          } else {
            ++i;
            break;
          }
        } else if (line[i] == '\\' && i + 1 < line.size() && line[i + 1] == 't') {
          text += '\t';
          ++i;
        } else {
          text += line[i];
        }
      }
      tokens.push_back(text);
    } else {
      size_t end = line.find_first_of(" \t\r", i);
      if (end == std::string_view::npos) end = line.size();
      tokens.emplace_back(line.substr(i, end - i));
      i = end;
    }
  }
  return true;
}

bool ResourceLines::Next(std::vector<std::string>& tokens, bool& broken) {
  while (!rest_.empty()) {
    ++line_number_;
    const size_t end = rest_.find('\n');
    const std::string_view line = rest_.substr(0, end);
    rest_ = end == std::string_view::npos ? std::string_view() : rest_.substr(end + 1);
    tokens.clear();
    broken = !SplitResourceLine(line, tokens);
    if (broken) return true;
    if (!tokens.empty() && tokens[0][0] != '#') return true;
  }
  return false;
}

bool IsResourceText(const std::string& token) { return !token.empty() && token[0] == '"'; }

bool ParseResourceNumber(const std::string& token, int base, long min, long max, int& value) {
  if (token.empty() || IsResourceText(token)) return false;
  std::string_view digits = token;
  if (base == 0) {
    // Decimal, or hexadecimal after 0x; a leading 0 is no octal sign here.
    base = 10;
    if (digits.starts_with("0x") || digits.starts_with("0X")) {
      base = 16;
      digits.remove_prefix(2);
    }
  }
  const std::optional<long> parsed = ParseInteger<long>(digits, base);
  if (!parsed || *parsed < min || *parsed > max) return false;
  value = static_cast<int>(*parsed);
  return true;
}

}  // namespace zvrx::platform::ui
