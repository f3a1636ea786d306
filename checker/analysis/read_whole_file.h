// Reading a data-folder file whole, so that its text ends in a NUL.
#pragma once

#include <string_view>
#include <vector>

namespace zvrx {

// The file's bytes followed by one zero byte, or an empty buffer when the
// file is missing, empty or cannot be read (a present file always gives at
// least two bytes).
std::vector<char> ReadWholeFile(std::string_view path);

}  // namespace zvrx
