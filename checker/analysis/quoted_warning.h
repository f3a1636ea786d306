// The guard for warnings about fraud mail (extension option
// quoted_warnings): a bank, a provider, an office or a list member who warns
// about fake mail quotes the fake mail's threats, and the dictionaries
// cannot tell a quotation from the threat itself. When the dictionaries
// would delete a Japanese message that warns (it names fraud, fakes or
// impersonation), the text is scored once more with what stands inside
// 「」 and 『』 blanked; the message is kept when that text stays under the
// threshold. Quoted lines ("> ...") and examples introduced by 例： are set
// aside the same way.
#pragma once

#include <cstdint>
#include <string>

namespace zvrx {

// Whether the Shift-JIS text (up to its NUL or `length` bytes) names fraud,
// fake mail or impersonation, at a character boundary.
bool HasFraudWarningWords(const char* text, int32_t length);

// A copy of `length` bytes of the Shift-JIS text with blanks in place of
// what it quotes: the inside of each 「」 or 『』 pair, every line that
// starts with ">" or "＞", and each example after 例： (to the end of its
// line and over the lines indented under it; line ends stay). A quotation must close within
// kMaxQuotedBytes and before a NUL or an empty line; one that does not is
// left as it stands. Byte positions and the length do not change.
inline constexpr int32_t kMaxQuotedBytes = 400;
std::string BlankQuotations(const char* text, int32_t length);

}  // namespace zvrx
