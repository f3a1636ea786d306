// Quoted-printable bodies and the Q form of encoded words.
#pragma once

#include <string>
#include <string_view>

namespace zvrx::mime {

// Decodes `text`: "=XX" (either letter case) is the byte XX; "=" at a line's
// end, blanks or tabs allowed before the line break, joins the lines; other
// line breaks stay as they are. An "=" that starts neither is kept as text.
// A cut tail ("=" or "=X" at the very end) is dropped. The result is never
// longer than `text`.
std::string DecodeQuotedPrintable(std::string_view text);

// The Q form of an encoded word: as above, and '_' is a blank.
std::string DecodeQEncoding(std::string_view text);

}  // namespace zvrx::mime
