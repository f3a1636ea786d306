// Header texts (From, Subject) as today's senders write them: encoded words
// in any of our charsets, raw UTF-8, or raw ISO-2022-JP, made readable CP932.
#pragma once

#include <string>
#include <string_view>

namespace zvrx::mime {

// Decodes an unfolded header value to CP932. Encoded words
// "=?charset?B?...?=" and "=?charset?Q?...?=" (any letter case) are decoded
// and converted; the blanks between two adjacent encoded words are dropped,
// and adjacent words of one charset are converted together, so a character
// split between two words comes out whole. A word in a charset we do not
// know, or malformed, stays as written. Text outside words is converted
// when it is raw UTF-8 or ISO-2022-JP, else kept as it is.
std::string DecodeHeaderText(std::string_view value);

}  // namespace zvrx::mime
