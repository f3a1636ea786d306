// Cutting CP932 Windows paths into names. A double-byte character may have
// 0x5C ('\') as its second byte ("ソ" is 83 5C), so separators are found by
// stepping over lead bytes, never by a plain byte search.
#pragma once

#include <string_view>
#include <vector>

#include "platform/cp932.h"

namespace zvrx::platform {

inline bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }

// Offset of the last separator ('\' or '/') outside double-byte characters,
// or npos.
size_t FindLastSeparator(std::string_view path);

// The names between separators; empty names (doubled separators, a leading
// or trailing one) are left out.
std::vector<std::string_view> SplitPath(std::string_view path);

}  // namespace zvrx::platform
