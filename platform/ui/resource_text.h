// The lexical part shared by the resource texts (dialogs, menus,
// accelerators): a line is words and quoted texts.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zvrx::platform::ui {

// Splits a line into words and quoted texts; a text keeps a leading quote as
// its mark, a doubled quote inside stands for one and "\t" for a tab. False
// on an open quote.
bool SplitResourceLine(std::string_view line, std::vector<std::string>& tokens);

// Walks a resource text line by line, passing over blank and comment
// ("#") lines.
class ResourceLines {
 public:
  explicit ResourceLines(std::string_view text) : rest_(text) {}
  // The next line's tokens; false at the end. `broken` is set for a line
  // with an open quote.
  bool Next(std::vector<std::string>& tokens, bool& broken);
  // The number of the line Next gave last, from 1.
  int line_number() const { return line_number_; }

 private:
  std::string_view rest_;
  int line_number_ = 0;
};

// Is the token a quoted text (rather than a word)?
bool IsResourceText(const std::string& token);

// A whole-word number of base `base` (0: decimal or 0x hex) within
// [min, max]; false for anything else.
bool ParseResourceNumber(const std::string& token, int base, long min, long max, int& value);

}  // namespace zvrx::platform::ui
