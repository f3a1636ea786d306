#include "checker/analysis/prefilter.h"

namespace zvrx {

namespace {

// The first four bytes of a NUL-terminated text, zero from the NUL on.
inline void FirstFour(const char* text, int limit, uint8_t (&b)[4]) {
  int i = 0;
  for (; i < 4 && i < limit && text[i] != '\0'; ++i) b[i] = static_cast<uint8_t>(text[i]);
  for (; i < 4; ++i) b[i] = 0;
}

}  // namespace

uint16_t PrefilterWordKey(const char* word, int length) {
  uint8_t b[4];
  FirstFour(word, length, b);
  if (length == 3) return PrefilterKey3(b[0], b[1], b[2]);
  return PrefilterKey4(b[0], b[1], b[2], b[3]);
}

void PrefilterRegister(PrefilterIndex& index, const char* word, int length, uint16_t bit) {
  index[PrefilterWordKey(word, length)] |= bit;
}

uint16_t PrefilterCandidates(const PrefilterIndex& index, const char* text) {
  uint8_t b[4];
  FirstFour(text, 4, b);
  return static_cast<uint16_t>(index[PrefilterKey4(b[0], b[1], b[2], b[3])] |
                               index[PrefilterKey3(b[0], b[1], b[2])]);
}

}  // namespace zvrx
