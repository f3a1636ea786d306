// CP932 texts for tests: written in UTF-8 in the source for the reader,
// converted to the bytes the code under test reads and writes.
#pragma once

#include <string>

#include "platform/cp932.h"

namespace zvrx::test {

inline std::string Sjis(const char* utf8) { return platform::Utf8ToCp932(utf8); }

}  // namespace zvrx::test
