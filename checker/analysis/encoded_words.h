// Decoding of MIME encoded words in a received text, in place. Only the
// form "=?ISO-2022-JP?B?...?=" is decoded (any letter case); the decoded
// bytes keep their JIS escapes for the Shift-JIS conversion that follows.
#pragma once

namespace zvrx {

// Decoded bytes pass through a scratch area of this size, as the checker
// always did; a longer word is decoded through it in pieces.
inline constexpr int kEncodedWordScratchSize = 256;

// `text` holds `length` bytes of text and is NUL-terminated at `end`
// (end >= length: the TOP text keeps its last LF behind the length). Each
// decoded word replaces itself and the rest of the text, terminator
// included, moves up behind it; `length` and `end` shrink by the same
// amount. The first word that is empty or not valid Base64 stops the
// decoding: it and every later word stay as they are.
void DecodeEncodedWords(char* text, int& length, int& end);

}  // namespace zvrx
