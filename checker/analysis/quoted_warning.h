// The guard for warnings about fraud mail (extension option
// quoted_warnings): a bank, a provider, an office or a list member who warns
// about fake mail quotes the fake mail's threats, and so does someone who
// passes a mail on to ask whether it is real; the dictionaries cannot tell
// a quotation from the threat itself. When the dictionaries would delete a
// message that warns or asks so (its Subject or text names fraud, fakes or
// impersonation, a mail passed on or retold, or tells not to open it; in
// Japanese or, as a list post quotes with ">" or indented lines, in
// English), the text is scored once more with what it quotes blanked; the
// message is kept when that text stays under the threshold.
#pragma once

#include <cstdint>
#include <string>

namespace zvrx {

// Whether the Shift-JIS text (up to its NUL or `length` bytes) names fraud,
// fake mail or impersonation, or speaks of a mail it passes on or retells,
// at a character boundary (an English word in either case, at a word
// start).
bool HasFraudWarningWords(const char* text, int32_t length);

// A copy of `length` bytes of the Shift-JIS text with blanks in place of
// what it quotes, line ends kept:
// - the inside of each 「」, 『』, “” or "" pair (closed within
//   kMaxQuotedBytes and before a NUL or an empty line, else left as it
//   stands);
// - every line that starts with ">" or "＞", two ASCII blanks or a tab;
// - each example after 例： or 例: (to the end of its line and over the lines
//   indented under it, at most kMaxQuotedBytes);
// - a mail pasted between two rule lines ("----- 転送 -----", "――――"),
//   when the second follows within kMaxPastedBytes;
// - the paragraph under a line that announces a paste (it ends in ":" or
//   "：", or says 貼り付け, 以下のような, 次のような or "pasted"), after at
//   most one empty line, to the next empty line: whole lines within
//   kMaxPastedBytes.
// Byte positions and the length do not change.
inline constexpr int32_t kMaxQuotedBytes = 400;
inline constexpr int32_t kMaxPastedBytes = 1500;
std::string BlankQuotations(const char* text, int32_t length);

}  // namespace zvrx
