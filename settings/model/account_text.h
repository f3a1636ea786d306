// The account text rule of the basic page: accounts are plain ASCII.
#pragma once

#include <string>

namespace zvrx {

// Keeps the bytes up to 0x7E, drops every other byte (and the trail byte
// after a Shift-JIS lead byte). Returns whether nothing was dropped.
bool ValidateAccountText(std::string& text);

}  // namespace zvrx
