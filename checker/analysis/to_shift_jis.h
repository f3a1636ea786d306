// In-place conversion of a received text from ISO-2022-JP or EUC-JP to
// Shift-JIS. The output never runs ahead of the input, so the text is
// rewritten in its own buffer.
#pragma once

#include <cstdint>

namespace zvrx {

enum class TextCode;

// The converter's state, kept by the checker from one message to the next.
struct ShiftJisConverter {
  bool two_byte_mode = false;  // inside an ESC $ B (or $ @, $ ( B) run
};

// Converts the first `length` bytes of `text` according to `code` and
// returns the new length. JIS and EUC-JP texts are NUL-terminated at their
// new end; plain and Shift-JIS texts are left untouched. An escape sequence
// or a lead byte cut off by the end of the text is dropped.
int ConvertToShiftJis(char* text, int length, TextCode code, ShiftJisConverter& converter);

// The JIS X 0208 row/cell pair (j1, j2) as a Shift-JIS pair.
void JisPairToShiftJis(uint8_t j1, uint8_t j2, uint8_t& s1, uint8_t& s2);

}  // namespace zvrx
