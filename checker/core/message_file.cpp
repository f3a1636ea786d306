#include "checker/core/message_file.h"

#include <cstring>
#include <string>

namespace zvrx {

void MessageFileToTopText(std::string_view raw, BodyBuffer& body) {
  std::string text;
  text.reserve(raw.size() + raw.size() / 16);
  bool in_body = false;
  int body_lines = 0;
  size_t line_start = 0;
  for (size_t i = 0; i < raw.size(); ++i) {
    const char c = raw[i];
    if (c == '\n' && (i == 0 || raw[i - 1] != '\r')) text += '\r';
    text += c;
    if (c != '\n') continue;
    if (in_body) {
      if (++body_lines == kTopBodyLines) break;
    } else if (text.size() - line_start == 2) {
      in_body = true;  // the blank line ends the header
    }
    line_start = text.size();
  }

  int length = static_cast<int>(text.size());
  // The reply's text length stops before the LF of its last line.
  if (length >= 2 && text[length - 2] == '\r' && text[length - 1] == '\n') --length;
  int stored = static_cast<int>(text.size());
  if (length > kTopCutLength) {
    length = kTopCutLength + 1;
    stored = kTopCutLength + 2;
  }
  body.bytes.assign(static_cast<size_t>(kBodyTextSize), '\0');
  std::memcpy(body.data(), text.data(), static_cast<size_t>(stored));
  body.text_length = static_cast<int16_t>(length);
}

}  // namespace zvrx
