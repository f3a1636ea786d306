// The prefilter index: one 16-bit mask per three- or four-byte key, one bit
// per loaded dictionary. It lets the scan skip every text position where no
// word of a dictionary can start, before any full comparison.
#pragma once

#include <cstdint>
#include <vector>

namespace zvrx {

inline constexpr int kPrefilterSize = 65536;  // keys are taken modulo 2^16

using PrefilterIndex = std::vector<uint16_t>;  // kPrefilterSize masks

// Key of a word of exactly three bytes.
inline uint16_t PrefilterKey3(uint8_t b0, uint8_t b1, uint8_t b2) {
  return static_cast<uint16_t>(((b0 - 32) & 0x7F) * 512 + ((b1 - 32) & 0x7F) * 8 +
                               ((b2 - 32) & 0x7F));
}

// Key of any other word, from its first four bytes.
inline uint16_t PrefilterKey4(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3) {
  return static_cast<uint16_t>((b0 & 0x7F) * 512 + (b1 & 0x7F) * 4 + (b2 & 0x7F) * 256 +
                               (b3 & 0x7F));
}

// The key a word is registered under; bytes past its end count as zero.
uint16_t PrefilterWordKey(const char* word, int length);

// ORs `bit` into the mask at the word's key.
void PrefilterRegister(PrefilterIndex& index, const char* word, int length, uint16_t bit);

// The dictionaries for which `text` (NUL-terminated) may start a word: the
// mask at key4 of its next four bytes ORed with the mask at key3 of its
// next three. Bytes at and past the NUL count as zero.
uint16_t PrefilterCandidates(const PrefilterIndex& index, const char* text);

// The same for a text whose NUL is followed by at least three more zero
// bytes, as the analysis buffer is: no end test per byte.
inline uint16_t PrefilterCandidatesPadded(const PrefilterIndex& index, const char* text) {
  const auto* b = reinterpret_cast<const uint8_t*>(text);
  return static_cast<uint16_t>(index[PrefilterKey4(b[0], b[1], b[2], b[3])] |
                               index[PrefilterKey3(b[0], b[1], b[2])]);
}

}  // namespace zvrx
