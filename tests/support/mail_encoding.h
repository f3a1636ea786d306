// Encoders for writing test mail the way today's senders send it: Base64
// and quoted-printable bodies, and UTF-8 encoded words for headers.
#pragma once

#include <string>

namespace zvrx::test {

// Base64 in lines of `line_length` characters, each ended by CR LF (the
// last line too, unless it is empty).
std::string Base64Encode(const std::string& bytes, size_t line_length = 76);

// Quoted-printable: 8-bit bytes and '=' as =XX, CR LF kept, lines longer
// than 75 characters broken with a soft break.
std::string QuotedPrintableEncode(const std::string& bytes);

// "=?UTF-8?B?...?=" for a UTF-8 text.
std::string Utf8Word(const std::string& utf8);

}  // namespace zvrx::test
