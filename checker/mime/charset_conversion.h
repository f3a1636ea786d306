// The charsets of today's mail, brought to the checker's own text (CP932).
// Texts pass through UTF-8 on the way: HTML entities and encoded words name
// Unicode characters, and glibc's CP932 codec reaches every character that
// has a CP932 form, the NEC and IBM extensions included.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zvrx::mime {

enum class Charset {
  kUnknown,    // a charset we leave as it is
  kUndeclared, // none, or us-ascii: what the bytes themselves show
  kUtf8,
  kUtf16,      // byte order from its mark, big-endian without one
  kUtf16Be,
  kUtf16Le,
  kIso2022Jp,
  kShiftJis,   // read as CP932, a superset
  kEucJp,
  kLatin1,
  kWindows1252,
};

// The charset a charset= parameter or an encoded word names (any letter
// case, quotes and an RFC 2231 language suffix "*ja" allowed).
Charset CharsetFromName(std::string_view name);

// What undeclared bytes are: ISO-2022-JP when they hold its escapes, UTF-8
// when they are valid UTF-8 with some byte from 0x80 (or plain ASCII),
// else kUnknown (legacy Shift-JIS or EUC-JP, for the written detection).
Charset SniffCharset(std::string_view bytes);

// True when `bytes` are well-formed UTF-8 throughout.
bool IsValidUtf8(std::string_view bytes);

// Converts `bytes` in `charset` to UTF-8. A byte or sequence the charset
// cannot decode becomes a blank. Returns false, and leaves `out` empty, for
// kUnknown. kUndeclared is sniffed first.
bool ToUtf8(std::string_view bytes, Charset charset, std::string& out);

// UTF-8 to CP932. A character without a CP932 form, and a malformed or cut
// sequence, becomes one blank (never '?', which dictionary words and URLs
// hold); zero-width characters that senders put inside words to break them
// up (U+200B-U+200D, U+2060, U+FEFF, U+00AD) are dropped.
std::string Utf8ToCp932Blank(std::string_view utf8);

// ISO-2022-JP (with the JIS X 0201 katakana set and the NEC row 13 that
// Windows senders use) to CP932 by arithmetic. A pair or escape cut off by
// the end is dropped.
std::string Iso2022JpToCp932(std::string_view bytes);

// Appends the UTF-8 form of `code_point`; a surrogate or a value beyond
// U+10FFFF becomes a blank.
void AppendUtf8(std::string& out, uint32_t code_point);

// The whole way from `charset` to CP932; text in a charset we do not know
// (kUnknown) is returned as it is.
std::string ToCp932(std::string_view bytes, Charset charset);

}  // namespace zvrx::mime
