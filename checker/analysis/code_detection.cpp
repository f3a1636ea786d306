#include "checker/analysis/code_detection.h"

#include <cstdint>

namespace zvrx {

namespace {
constexpr uint8_t kEsc = 0x1B;
}  // namespace

TextCode DetectCode(const char* text, int length, ShiftJisConverter& converter) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(text);
  bool euc_like = false;
  int i = 0;
  while (i < length) {
    const uint8_t b = bytes[i];
    if (b == kEsc) {
      converter.two_byte_mode = false;
      if (length - i - 1 < 2) return TextCode::kJis;
      const uint8_t x = bytes[i + 1];
      const uint8_t y = bytes[i + 2];
      if ((x == '$' && (y == '@' || y == 'B')) || (x == '(' && (y == 'J' || y == 'B'))) {
        return TextCode::kJis;
      }
      if (x == '$' && y == '(') {
        if (i + 3 >= length || bytes[i + 3] == 'B') return TextCode::kJis;
        i += 4;
        continue;
      }
      i += 3;
      continue;
    }
    if (b < 0x80) {
      ++i;
      continue;
    }
    // A lead byte at the very end is taken with a zero partner.
    const uint8_t n = (i + 1 < length) ? bytes[i + 1] : 0;
    if (b <= 0x9F && b != 0x8E) return TextCode::kShiftJis;
    if (b == 0xA0 || b == 0xFF) {
      i += 2;
      continue;
    }
    if (b == 0x8E || (b >= 0xE0 && b <= 0xED)) {
      euc_like = true;
      i += 2;
      continue;
    }
    if (b >= 0xA1 && b <= 0xDF) {
      if (n < 0xA0) return TextCode::kShiftJis;
      euc_like = true;
      i += 2;
      continue;
    }
    return TextCode::kEucJp;  // 0xEE-0xFE never lead a Shift-JIS pair
  }
  return euc_like ? TextCode::kEucJp : TextCode::kNone;
}

}  // namespace zvrx
