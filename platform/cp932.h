// Conversion between code page 932 (the programs' own text) and UTF-8 (the
// host's file names, terminals and Qt). Uses glibc's "CP932" codec, never
// "SJIS": that one turns 0x5C into a yen sign and rejects the NEC and IBM
// extension characters.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zvrx::platform {

// Bytes that CP932 cannot decode become U+FFFD; nothing is dropped.
std::string Cp932ToUtf8(std::string_view cp932);

// Characters that CP932 cannot hold become '?'.
std::string Utf8ToCp932(std::string_view utf8);

// All or nothing: none when `utf8` is not UTF-8 or holds a character that
// CP932 has no exact form for. Delivered data uses it: a '?' put in its
// place would never match what the user receives.
std::optional<std::string> Utf8ToCp932Exactly(std::string_view utf8);

// The first byte of a double-byte character.
inline bool IsCp932LeadByte(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// Bytes of the character at `at`: a lead byte takes its trail byte along
// when there is one.
inline size_t Cp932CharLength(std::string_view text, size_t at) {
  return IsCp932LeadByte(static_cast<unsigned char>(text[at])) && at + 1 < text.size() ? 2 : 1;
}

// The longest start of `text` of at most `max_bytes` bytes that does not
// end inside a double-byte character.
std::string_view Cp932Prefix(std::string_view text, size_t max_bytes);

}  // namespace zvrx::platform
