// The scramble bytes of the suite, defined once: the programs and the data
// compiler must agree on them.
#pragma once

#include <cstdint>

namespace zvrx {

// Password fields of "ZVmi128": byte i XOR (K + i mod 32). K + 31 stays below
// 256, and K >= 0x80 so no printable ASCII byte ever scrambles to zero.
inline constexpr uint8_t kPasswordScrambleByte = 0xA7;
static_assert(kPasswordScrambleByte >= 0x80 && kPasswordScrambleByte + 31 < 256);

// Delivered data files (anonymous-sign lists, Subject keyword tables,
// companion word files): byte i XOR ((base + i) mod 256).
inline constexpr uint8_t kDataScrambleBase = 0x5A;

// Scrambled dictionary words: byte k (1-based after the length byte)
// XOR ((base + k) mod 256).
inline constexpr uint8_t kWordScrambleBase = 0x3C;

}  // namespace zvrx
