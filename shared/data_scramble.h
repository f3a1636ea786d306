// The scrambling of delivered data files: byte i XOR ((base + i) mod 256).
// Shared by the programs, which unscramble, and the data compiler, which
// scrambles; the operation is its own inverse.
#pragma once

#include <cstddef>

namespace zvrx {

// Scrambles or unscrambles `size` bytes in place, counting i from the first.
void DataScramble(void* bytes, size_t size);

}  // namespace zvrx
