#include "checker/analysis/find_no_case.h"

namespace zvrx {

namespace {

inline unsigned char FoldAscii(unsigned char byte) {
  return (byte >= 'A' && byte <= 'Z') ? static_cast<unsigned char>(byte + ('a' - 'A')) : byte;
}

}  // namespace

const char* FindNoCase(const char* text, const char* pattern) {
  const unsigned char first = FoldAscii(static_cast<unsigned char>(pattern[0]));
  if (first == 0) return text;
  for (const char* start = text; *start != '\0'; ++start) {
    if (FoldAscii(static_cast<unsigned char>(*start)) != first) continue;
    int k = 1;
    while (pattern[k] != '\0' &&
           FoldAscii(static_cast<unsigned char>(start[k])) ==
               FoldAscii(static_cast<unsigned char>(pattern[k]))) {
      ++k;
    }
    // A NUL in the text never equals a pattern byte, so the compare above
    // stops at the text's end.
    if (pattern[k] == '\0') return start;
  }
  return nullptr;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t k = 0; k < prefix.size(); ++k) {
    if (FoldAscii(static_cast<unsigned char>(text[k])) != static_cast<unsigned char>(prefix[k])) {
      return false;
    }
  }
  return true;
}

char* FindNoCase(char* text, const char* pattern) {
  return const_cast<char*>(FindNoCase(static_cast<const char*>(text), pattern));
}

}  // namespace zvrx
