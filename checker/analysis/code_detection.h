// Detection of the code a received text is written in, so that it can be
// turned into Shift-JIS.
#pragma once

#include "checker/analysis/to_shift_jis.h"

namespace zvrx {

enum class TextCode {
  kNone,      // plain 7-bit text
  kJis,       // ISO-2022-JP
  kEucJp,
  kShiftJis,
};

// Scans the first `length` bytes. Every ESC met resets the converter's
// two-byte mode, so a JIS conversion always starts with the mode off.
TextCode DetectCode(const char* text, int length, ShiftJisConverter& converter);

}  // namespace zvrx
