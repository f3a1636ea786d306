#include "checker/mime/charset_conversion.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include "platform/cp932.h"
#include "platform/text_converter.h"

namespace zvrx::mime {
namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// Converts `text`; at a sequence the converter cannot take, appends a blank
// and skips skip_length(rest) bytes. A sequence cut off by the end is dropped.
template <typename SkipLength>
void ConvertWithBlanks(platform::TextConverter& converter, std::string_view text,
                       std::string& out, SkipLength skip_length) {
  const char* in = text.data();
  size_t left = text.size();
  while (left > 0) {
    int error = 0;
    if (converter.Run(&in, &left, out, &error) || error == EINVAL) return;
    const size_t skip = std::min(left, std::max<size_t>(1, skip_length(in, left)));
    out.push_back(' ');
    in += skip;
    left -= skip;
  }
}

// Length of the UTF-8 sequence at `s` when it is well formed, else 1.
size_t Utf8SequenceLength(const char* text, size_t left) {
  const auto* s = reinterpret_cast<const unsigned char*>(text);
  size_t length = s[0] < 0x80 ? 1 : (s[0] & 0xE0) == 0xC0 ? 2 : (s[0] & 0xF0) == 0xE0 ? 3
                                   : (s[0] & 0xF8) == 0xF0                  ? 4
                                                                            : 1;
  const size_t available = std::min(length, left);
  for (size_t i = 1; i < available; ++i) {
    if ((s[i] & 0xC0) != 0x80) return i;
  }
  return available;
}

size_t OneByte(const char*, size_t) { return 1; }

// The code point of the well-formed UTF-8 sequence at `at` and its length,
// or a length of 0 when the sequence there is malformed or cut.
size_t DecodeUtf8At(std::string_view text, size_t at, uint32_t& code_point) {
  const auto* s = reinterpret_cast<const unsigned char*>(text.data()) + at;
  const size_t left = text.size() - at;
  if (s[0] < 0x80) {
    code_point = s[0];
    return 1;
  }
  size_t length;
  uint32_t minimum;
  if ((s[0] & 0xE0) == 0xC0) {
    length = 2, code_point = s[0] & 0x1F, minimum = 0x80;
  } else if ((s[0] & 0xF0) == 0xE0) {
    length = 3, code_point = s[0] & 0x0F, minimum = 0x800;
  } else if ((s[0] & 0xF8) == 0xF0) {
    length = 4, code_point = s[0] & 0x07, minimum = 0x10000;
  } else {
    return 0;
  }
  if (left < length) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((s[i] & 0xC0) != 0x80) return 0;
    code_point = (code_point << 6) | (s[i] & 0x3F);
  }
  if (code_point < minimum || code_point > 0x10FFFF ||
      (code_point >= 0xD800 && code_point <= 0xDFFF)) {
    return 0;
  }
  return length;
}

bool IsZeroWidth(uint32_t c) {
  return (c >= 0x200B && c <= 0x200D) || c == 0x2060 || c == 0xFEFF || c == 0x00AD;
}

std::string Utf16ToUtf8(std::string_view bytes, bool big_endian) {
  std::string out;
  out.reserve(bytes.size() * 3 / 2);
  size_t i = 0;
  auto unit_at = [&](size_t at) -> uint32_t {
    const auto hi = static_cast<unsigned char>(bytes[big_endian ? at : at + 1]);
    const auto lo = static_cast<unsigned char>(bytes[big_endian ? at + 1 : at]);
    return (static_cast<uint32_t>(hi) << 8) | lo;
  };
  while (i + 1 < bytes.size()) {
    const uint32_t unit = unit_at(i);
    i += 2;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (i + 1 >= bytes.size()) break;  // the pair is cut off
      const uint32_t low = unit_at(i);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        i += 2;
        AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
      } else {
        out.push_back(' ');
      }
    } else {
      AppendUtf8(out, unit);  // a lone low surrogate becomes a blank there
    }
  }
  return out;
}

std::string Latin1ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (char c : bytes) AppendUtf8(out, static_cast<unsigned char>(c));
  return out;
}

// Replaces what is not well-formed UTF-8 with blanks, so that every later
// step reads whole characters.
std::string CleanUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  size_t at = 0;
  while (at < bytes.size()) {
    uint32_t code_point = 0;
    const size_t length = DecodeUtf8At(bytes, at, code_point);
    if (length == 0) {
      // A sequence cut off by the end of the top is dropped.
      if (bytes.size() - at < 4 && Utf8SequenceLength(bytes.data() + at, bytes.size() - at) ==
                                       bytes.size() - at &&
          static_cast<unsigned char>(bytes[at]) >= 0xC0) {
        break;
      }
      out.push_back(' ');
      ++at;
      continue;
    }
    out.append(bytes.substr(at, length));
    at += length;
  }
  return out;
}

}  // namespace

Charset CharsetFromName(std::string_view name) {
  std::string lower;
  for (char c : name) {
    if (c == '"' || c == '\'' || c == ' ' || c == '\t') continue;
    if (c == '*') break;  // RFC 2231 language suffix
    lower.push_back(LowerAscii(c));
    if (lower.size() > 40) return Charset::kUnknown;
  }
  struct Name {
    const char* name;
    Charset charset;
  };
  static constexpr Name kNames[] = {
      {"", Charset::kUndeclared},           {"us-ascii", Charset::kUndeclared},
      {"ascii", Charset::kUndeclared},      {"utf-8", Charset::kUtf8},
      {"utf8", Charset::kUtf8},             {"utf-16", Charset::kUtf16},
      {"utf-16be", Charset::kUtf16Be},      {"utf-16le", Charset::kUtf16Le},
      {"iso-2022-jp", Charset::kIso2022Jp}, {"csiso2022jp", Charset::kIso2022Jp},
      {"iso-2022-jp-2", Charset::kIso2022Jp}, {"iso-2022-jp-3", Charset::kIso2022Jp},
      {"shift_jis", Charset::kShiftJis},    {"shift-jis", Charset::kShiftJis},
      {"sjis", Charset::kShiftJis},         {"x-sjis", Charset::kShiftJis},
      {"cp932", Charset::kShiftJis},        {"windows-31j", Charset::kShiftJis},
      {"ms_kanji", Charset::kShiftJis},     {"csshiftjis", Charset::kShiftJis},
      {"euc-jp", Charset::kEucJp},          {"x-euc-jp", Charset::kEucJp},
      {"eucjp", Charset::kEucJp},           {"cseucpkdfmtjapanese", Charset::kEucJp},
      {"iso-8859-1", Charset::kLatin1},     {"iso8859-1", Charset::kLatin1},
      {"latin1", Charset::kLatin1},         {"windows-1252", Charset::kWindows1252},
      {"cp1252", Charset::kWindows1252},
  };
  for (const Name& entry : kNames) {
    if (lower == entry.name) return entry.charset;
  }
  return Charset::kUnknown;
}

bool IsValidUtf8(std::string_view bytes) {
  size_t at = 0;
  while (at < bytes.size()) {
    if (static_cast<unsigned char>(bytes[at]) < 0x80) {
      ++at;
      continue;
    }
    uint32_t code_point = 0;
    const size_t length = DecodeUtf8At(bytes, at, code_point);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

Charset SniffCharset(std::string_view bytes) {
  if (bytes.find("\x1b$B") != std::string_view::npos ||
      bytes.find("\x1b$@") != std::string_view::npos) {
    return Charset::kIso2022Jp;
  }
  return IsValidUtf8(bytes) ? Charset::kUtf8 : Charset::kUnknown;
}

void AppendUtf8(std::string& out, uint32_t c) {
  if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
    out.push_back(' ');
  } else if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

std::string Iso2022JpToCp932(std::string_view bytes) {
  enum class Set { kAscii, kJis0208, kKatakana, kOther };
  Set set = Set::kAscii;
  std::string out;
  out.reserve(bytes.size());
  size_t i = 0;
  while (i < bytes.size()) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (c == 0x1B) {
      const std::string_view rest = bytes.substr(i + 1);
      if (rest.starts_with("$B") || rest.starts_with("$@")) {
        set = Set::kJis0208, i += 3;
      } else if (rest.starts_with("$(B") || rest.starts_with("$(Q")) {
        set = Set::kJis0208, i += 4;
      } else if (rest.starts_with("$(")) {
        set = Set::kOther, i += std::min<size_t>(4, bytes.size() - i);
      } else if (rest.starts_with("(B") || rest.starts_with("(J")) {
        set = Set::kAscii, i += 3;
      } else if (rest.starts_with("(I")) {
        set = Set::kKatakana, i += 3;
      } else if (rest.size() < 3) {
        break;  // an escape cut off by the end
      } else {
        ++i;  // an escape we do not know: dropped
      }
      i = std::min(i, bytes.size());
      continue;
    }
    if (c == '\r' || c == '\n' || set == Set::kAscii || c < 0x21 || c > 0x7E) {
      out.push_back(static_cast<char>(c));
      ++i;
      continue;
    }
    if (set == Set::kKatakana) {
      out.push_back(c <= 0x5F ? static_cast<char>(c + 0x80) : ' ');
      ++i;
      continue;
    }
    if (i + 1 >= bytes.size()) break;  // a pair cut off by the end
    const auto j2 = static_cast<unsigned char>(bytes[i + 1]);
    i += 2;
    if (set == Set::kOther || j2 < 0x21 || j2 > 0x7E) {
      out.push_back(' ');
      continue;
    }
    const unsigned j1 = c;
    const unsigned s1 = ((j1 + 1) >> 1) + (j1 <= 0x5E ? 0x70 : 0xB0);
    const unsigned s2 = j2 + ((j1 & 1) ? (j2 >= 0x60 ? 0x20 : 0x1F) : 0x7E);
    out.push_back(static_cast<char>(s1));
    out.push_back(static_cast<char>(s2));
  }
  return out;
}

bool ToUtf8(std::string_view bytes, Charset charset, std::string& out) {
  out.clear();
  if (charset == Charset::kUndeclared) charset = SniffCharset(bytes);
  switch (charset) {
    case Charset::kUnknown:
    case Charset::kUndeclared:
      return false;
    case Charset::kUtf8:
      out = CleanUtf8(bytes);
      return true;
    case Charset::kUtf16:
    case Charset::kUtf16Be:
    case Charset::kUtf16Le: {
      bool big_endian = charset != Charset::kUtf16Le;
      if (bytes.size() >= 2) {
        const auto b0 = static_cast<unsigned char>(bytes[0]);
        const auto b1 = static_cast<unsigned char>(bytes[1]);
        if ((b0 == 0xFE && b1 == 0xFF) || (b0 == 0xFF && b1 == 0xFE)) {
          if (charset == Charset::kUtf16) big_endian = b0 == 0xFE;
          bytes.remove_prefix(2);
        }
      }
      out = Utf16ToUtf8(bytes, big_endian);
      return true;
    }
    case Charset::kIso2022Jp:
      out = platform::Cp932ToUtf8(Iso2022JpToCp932(bytes));
      return true;
    case Charset::kShiftJis:
      out = platform::Cp932ToUtf8(bytes);
      return true;
    case Charset::kLatin1:
      out = Latin1ToUtf8(bytes);
      return true;
    case Charset::kEucJp: {
      thread_local platform::TextConverter converter("UTF-8", "EUC-JP-MS");
      if (!converter.ok()) return false;
      ConvertWithBlanks(converter, bytes, out, OneByte);
      return true;
    }
    case Charset::kWindows1252: {
      thread_local platform::TextConverter converter("UTF-8", "CP1252");
      if (!converter.ok()) return false;
      ConvertWithBlanks(converter, bytes, out, OneByte);
      return true;
    }
  }
  return false;
}

std::string Utf8ToCp932Blank(std::string_view utf8) {
  // Zero-width characters go first; what is left goes through iconv whole.
  std::string clean;
  clean.reserve(utf8.size());
  size_t at = 0;
  while (at < utf8.size()) {
    uint32_t code_point = 0;
    const size_t length = static_cast<unsigned char>(utf8[at]) < 0x80
                              ? (code_point = static_cast<unsigned char>(utf8[at]), 1)
                              : DecodeUtf8At(utf8, at, code_point);
    if (length == 0) {
      clean.push_back(utf8[at]);  // iconv turns it into a blank
      ++at;
      continue;
    }
    if (!IsZeroWidth(code_point)) clean.append(utf8.substr(at, length));
    at += length;
  }
  std::string out;
  out.reserve(clean.size());
  thread_local platform::TextConverter converter("CP932", "UTF-8");
  if (!converter.ok()) {
    for (char c : clean) out.push_back(static_cast<unsigned char>(c) < 0x80 ? c : ' ');
    return out;
  }
  ConvertWithBlanks(converter, clean, out, Utf8SequenceLength);
  return out;
}

std::string ToCp932(std::string_view bytes, Charset charset) {
  if (charset == Charset::kUndeclared) charset = SniffCharset(bytes);
  if (charset == Charset::kIso2022Jp) return Iso2022JpToCp932(bytes);
  // Already CP932 (or a subset of it): nothing to convert.
  if (charset == Charset::kShiftJis || charset == Charset::kUnknown) return std::string(bytes);
  std::string utf8;
  if (!ToUtf8(bytes, charset, utf8)) return std::string(bytes);
  return Utf8ToCp932Blank(utf8);
}

}  // namespace zvrx::mime
