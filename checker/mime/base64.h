// Base64 bodies as senders write them: lines of any length, sometimes with
// blanks, often cut mid-way by the top the checker reads.
#pragma once

#include <string>
#include <string_view>

namespace zvrx::mime {

// Decodes `text`, skipping line breaks, blanks and tabs between characters.
// Decoding ends at the first pad '=' (its group is finished), at any other
// character outside the alphabet, or at the end of the text. A last group
// of two or three characters still yields its complete bytes; a single
// character left over is a broken tail and is dropped. The result is never
// longer than three quarters of `text`.
std::string DecodeBase64(std::string_view text);

}  // namespace zvrx::mime
