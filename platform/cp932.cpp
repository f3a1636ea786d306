#include "platform/cp932.h"

#include "platform/text_converter.h"

#include <algorithm>
#include <cerrno>

namespace zvrx::platform {
namespace {

TextConverter& ToUtf8() {
  thread_local TextConverter converter("UTF-8", "CP932");
  return converter;
}

TextConverter& FromUtf8() {
  thread_local TextConverter converter("CP932", "UTF-8");
  return converter;
}

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

bool IsTrailByte(unsigned char c) { return c >= 0x40 && c <= 0xFC && c != 0x7F; }

// Length of the UTF-8 sequence starting at `s` if it is well formed, else 1.
size_t Utf8SequenceLength(const unsigned char* s, size_t left) {
  size_t length = s[0] < 0x80 ? 1 : (s[0] & 0xE0) == 0xC0 ? 2 : (s[0] & 0xF0) == 0xE0 ? 3
                                   : (s[0] & 0xF8) == 0xF0                  ? 4
                                                                            : 1;
  // A sequence cut off by the end of the text is one bad character.
  size_t available = std::min(length, left);
  for (size_t i = 1; i < available; ++i) {
    if ((s[i] & 0xC0) != 0x80) return 1;
  }
  return available;
}

}  // namespace

std::string Cp932ToUtf8(std::string_view cp932) {
  std::string out;
  out.reserve(cp932.size() * 3 / 2);
  const char* in = cp932.data();
  size_t left = cp932.size();
  TextConverter& converter = ToUtf8();
  while (left > 0) {
    int error = 0;
    if (converter.ok() && converter.Run(&in, &left, out, &error)) break;
    // A byte pair with a lead and a trail byte is one unknown character;
    // anything else is one unknown byte.
    const auto* bytes = reinterpret_cast<const unsigned char*>(in);
    size_t skip = left >= 2 && IsCp932LeadByte(bytes[0]) && IsTrailByte(bytes[1]) ? 2 : 1;
    if (!converter.ok() && bytes[0] < 0x80) {
      out.push_back(static_cast<char>(bytes[0]));
    } else {
      out += kReplacement;
    }
    in += skip;
    left -= skip;
  }
  return out;
}

std::string Utf8ToCp932(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  const char* in = utf8.data();
  size_t left = utf8.size();
  TextConverter& converter = FromUtf8();
  while (left > 0) {
    int error = 0;
    if (converter.ok() && converter.Run(&in, &left, out, &error)) break;
    const auto* bytes = reinterpret_cast<const unsigned char*>(in);
    size_t skip = Utf8SequenceLength(bytes, left);
    out.push_back(!converter.ok() && bytes[0] < 0x80 ? static_cast<char>(bytes[0]) : '?');
    in += skip;
    left -= skip;
  }
  return out;
}

std::optional<std::string> Utf8ToCp932Exactly(std::string_view utf8) {
  return FromUtf8().ConvertExactly(utf8);
}

std::string_view Cp932Prefix(std::string_view text, size_t max_bytes) {
  size_t end = 0;
  while (end < text.size()) {
    const size_t next = end + Cp932CharLength(text, end);
    if (next > max_bytes) break;
    end = next;
  }
  return text.substr(0, end);
}

}  // namespace zvrx::platform
