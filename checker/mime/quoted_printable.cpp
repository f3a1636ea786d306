#include "checker/mime/quoted_printable.h"

namespace zvrx::mime {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string Decode(std::string_view text, bool underscore_is_blank) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == '_' && underscore_is_blank) {
      out.push_back(' ');
      ++i;
      continue;
    }
    if (c != '=') {
      out.push_back(c);
      ++i;
      continue;
    }
    // Soft line break: "=", maybe blanks, then CR LF or LF.
    size_t j = i + 1;
    while (j < text.size() && (text[j] == ' ' || text[j] == '\t')) ++j;
    if (j < text.size() && (text[j] == '\r' || text[j] == '\n')) {
      if (text[j] == '\r' && j + 1 < text.size() && text[j + 1] == '\n') ++j;
      i = j + 1;
      continue;
    }
    // The top ends here: a soft break or an escape cut off.
    if (j >= text.size()) break;
    if (i + 2 >= text.size() && HexValue(text[i + 1]) >= 0) break;
    const int high = HexValue(text[i + 1]);
    const int low = i + 2 < text.size() ? HexValue(text[i + 2]) : -1;
    if (high >= 0 && low >= 0) {
      out.push_back(static_cast<char>(high * 16 + low));
      i += 3;
    } else {
      out.push_back('=');
      ++i;
    }
  }
  return out;
}

}  // namespace

std::string DecodeQuotedPrintable(std::string_view text) { return Decode(text, false); }

std::string DecodeQEncoding(std::string_view text) { return Decode(text, true); }

}  // namespace zvrx::mime
