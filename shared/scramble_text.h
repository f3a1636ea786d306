// The password scrambling of "ZVmi128": the same in both programs, and its
// own inverse.
#pragma once

#include "shared/records.h"

namespace zvrx {

// Scrambles or unscrambles one password field in place: byte i of the text
// (up to its first zero byte) is XORed with K + (i mod 32). The length is
// taken only within the field, so a field without a terminator is never read
// past its end. A byte equal to its position's key becomes zero and cuts the
// text when it is unscrambled; bytes below 0x80 never do.
void ScrambleText(char (&field)[kAccountFieldSize]);

// The three password fields of the record, each when not empty.
void ScramblePasswords(BasicSettings& basic);

}  // namespace zvrx
