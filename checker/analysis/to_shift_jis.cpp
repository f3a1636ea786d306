#include "checker/analysis/to_shift_jis.h"

#include "checker/analysis/code_detection.h"

namespace zvrx {

namespace {

constexpr uint8_t kEsc = 0x1B;
constexpr uint8_t kSingleShift2 = 0x8E;  // EUC-JP: a half-width katakana follows

int ConvertJis(uint8_t* text, int length, ShiftJisConverter& converter) {
  bool& two_byte = converter.two_byte_mode;
  int in = 0;
  int out = 0;
  while (in < length) {
    const uint8_t b = text[in];
    if (b == kEsc) {
      if (in + 2 >= length) break;  // cut-off sequence: dropped
      const uint8_t x = text[in + 1];
      const uint8_t y = text[in + 2];
      if (x == '$' && (y == '@' || y == 'B')) {
        two_byte = true;
        in += 3;
        continue;
      }
      if (x == '(' && (y == 'J' || y == 'B')) {
        two_byte = false;
        in += 3;
        continue;
      }
      int kept = 3;  // a designation we do not convert stays in the text
      if (x == '$' && y == '(') {
        if (in + 3 >= length) break;
        if (text[in + 3] == 'B') {
          two_byte = true;
          in += 4;
          continue;
        }
        kept = 4;
      }
      for (int k = 0; k < kept; ++k) text[out++] = text[in++];
      continue;
    }
    if (!two_byte || b <= 0x20 || (b >= 0xA1 && b <= 0xDF)) {
      text[out++] = b;
      ++in;
      continue;
    }
    if (in + 1 >= length) break;  // a lone first byte at the end is dropped
    JisPairToShiftJis(b, text[in + 1], text[out], text[out + 1]);
    out += 2;
    in += 2;
  }
  text[out] = 0;
  return out;
}

int ConvertEuc(uint8_t* text, int length) {
  int in = 0;
  int out = 0;
  while (in < length) {
    const uint8_t b = text[in];
    if (b == kSingleShift2 || (b >= 0xA1 && b <= 0xFE)) {
      if (in + 1 >= length) break;  // a lone lead byte at the end is dropped
      if (b == kSingleShift2) {
        text[out++] = text[in + 1];
      } else {
        JisPairToShiftJis(b & 0x7F, text[in + 1] & 0x7F, text[out], text[out + 1]);
        out += 2;
      }
      in += 2;
      continue;
    }
    text[out++] = b;
    ++in;
  }
  text[out] = 0;
  return out;
}

}  // namespace

void JisPairToShiftJis(uint8_t j1, uint8_t j2, uint8_t& s1, uint8_t& s2) {
  int first = ((j1 + 1) >> 1) + 0x70;
  if (first >= 0xA0) first += 0x40;
  int second;
  if (j1 & 1) {
    second = j2 + 0x1F;
    if (second >= 0x7F) ++second;
  } else {
    second = j2 + 0x7E;
  }
  // Bytes outside JIS X 0208 wrap as the byte arithmetic always did.
  s1 = static_cast<uint8_t>(first);
  s2 = static_cast<uint8_t>(second);
}

int ConvertToShiftJis(char* text, int length, TextCode code, ShiftJisConverter& converter) {
  auto* bytes = reinterpret_cast<uint8_t*>(text);
  switch (code) {
    case TextCode::kJis:
      return ConvertJis(bytes, length, converter);
    case TextCode::kEucJp:
      return ConvertEuc(bytes, length);
    case TextCode::kNone:
    case TextCode::kShiftJis:
      break;
  }
  return length;
}

}  // namespace zvrx
