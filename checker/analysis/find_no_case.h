// Substring search that folds ASCII A-Z to lower case on both sides and
// compares byte by byte. It knows nothing of double-byte characters, so a
// trail byte may take part in a match; header names are ASCII, which is
// all the callers look for.
#pragma once

#include <string_view>

namespace zvrx {

// First match of `pattern` in the NUL-terminated `text`, or nullptr. An
// empty pattern matches at the start.
const char* FindNoCase(const char* text, const char* pattern);
char* FindNoCase(char* text, const char* pattern);

// Whether `text` starts with `prefix`, ASCII letters of `text` in either
// case (`prefix` is written in lower case).
bool StartsWithNoCase(std::string_view text, std::string_view prefix);

}  // namespace zvrx
