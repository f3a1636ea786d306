// Reading the readable UTF-8 sources: lines without comments and blank
// lines, "key: value" headers, "a | b | c" fields and numbers. Texts go
// to the programs' CP932 through platform::Utf8ToCp932Exactly.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/cp932.h"
#include "tools/datac/diagnostics.h"

namespace zvrx::datac {

struct SourceLine {
  int number = 0;    // 1-based line number in the file
  std::string text;  // UTF-8, trimmed
};

struct SourceFile {
  std::string path;  // as shown in messages
  std::vector<SourceLine> lines;
};

// Reads a source file: drops a UTF-8 byte-order mark, CR before LF, blank
// lines and lines whose first non-blank character is '#'. Reports a missing
// file or bytes that are not UTF-8.
std::optional<SourceFile> ReadSourceFile(const std::string& path, Diagnostics& diag);

std::string Trim(std::string_view text);

// Splits on `separator` and trims every piece.
std::vector<std::string> SplitTrimmed(std::string_view text, char separator);

// "key: value" with a key of letters, digits and '_' only; nullopt otherwise.
struct HeaderLine {
  std::string key;
  std::string value;
};
std::optional<HeaderLine> ParseHeaderLine(std::string_view text);

// A decimal integer, optionally signed, within [low, high].
std::optional<int64_t> ParseInteger(std::string_view text, int64_t low, int64_t high);

}  // namespace zvrx::datac
