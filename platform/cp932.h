// Conversion between code page 932 (the programs' own text) and UTF-8 (the
// host's file names, terminals and Qt). Uses glibc's "CP932" codec, never
// "SJIS": that one turns 0x5C into a yen sign and rejects the NEC and IBM
// extension characters.
#pragma once

#include <string>
#include <string_view>

namespace zvrx::platform {

// Bytes that CP932 cannot decode become U+FFFD; nothing is dropped.
std::string Cp932ToUtf8(std::string_view cp932);

// Characters that CP932 cannot hold become '?'.
std::string Utf8ToCp932(std::string_view utf8);

}  // namespace zvrx::platform
