#include "checker/mime/header_text.h"

#include "checker/mime/base64.h"
#include "checker/mime/charset_conversion.h"
#include "checker/mime/quoted_printable.h"

namespace zvrx::mime {
namespace {

// Longer words exist in the wild, but nothing near this; the bound keeps a
// header of many unclosed "=?" from costing quadratic time.
constexpr size_t kMaxWordLength = 1024;
constexpr size_t kMaxCharsetNameLength = 64;

struct EncodedWord {
  size_t length = 0;  // of the whole word, 0 when `text` at `at` is none
  Charset charset = Charset::kUnknown;
  std::string bytes;  // decoded, still in `charset`
};

// The encoded word that starts at `at`, if one does.
EncodedWord ParseWord(std::string_view text, size_t at) {
  EncodedWord word;
  if (text.substr(at, 2) != "=?") return word;
  const size_t charset_end = text.substr(0, at + 2 + kMaxCharsetNameLength).find('?', at + 2);
  if (charset_end == std::string_view::npos || charset_end == at + 2) return word;
  if (charset_end + 2 >= text.size() || text[charset_end + 2] != '?') return word;
  const char encoding = text[charset_end + 1];
  const size_t data_start = charset_end + 3;
  const size_t data_end = text.substr(0, at + kMaxWordLength).find("?=", data_start);
  if (data_end == std::string_view::npos) return word;
  const std::string_view data = text.substr(data_start, data_end - data_start);
  if (data.find_first_of(" \t") != std::string_view::npos) return word;
  if (encoding == 'B' || encoding == 'b') {
    word.bytes = DecodeBase64(data);
  } else if (encoding == 'Q' || encoding == 'q') {
    word.bytes = DecodeQEncoding(data);
  } else {
    return word;
  }
  word.charset = CharsetFromName(text.substr(at + 2, charset_end - at - 2));
  if (word.charset == Charset::kUndeclared) word.charset = Charset::kUtf8;  // us-ascii: a subset
  word.length = data_end + 2 - at;
  return word;
}

// Raw text outside encoded words: senders now put UTF-8 straight into the
// header, older ones ISO-2022-JP.
std::string ConvertRaw(std::string_view text) {
  bool eight_bit = false;
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80 || c == '\x1b') {
      eight_bit = true;
      break;
    }
  }
  if (!eight_bit) return std::string(text);
  return ToCp932(text, SniffCharset(text));
}

bool AllBlank(std::string_view text) {
  for (char c : text) {
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return false;
  }
  return true;
}

}  // namespace

std::string DecodeHeaderText(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  std::string run;                     // decoded bytes of adjacent words of one charset
  Charset run_charset = Charset::kUnknown;
  bool in_run = false;
  auto flush = [&] {
    if (in_run) out += ToCp932(run, run_charset);
    run.clear();
    in_run = false;
  };
  size_t literal_start = 0;
  size_t at = 0;
  bool after_word = false;
  while (at < value.size()) {
    const size_t next = value.find("=?", at);
    if (next == std::string_view::npos) break;
    EncodedWord word = ParseWord(value, next);
    if (word.length == 0 || word.charset == Charset::kUnknown) {
      at = next + 2;  // not a word we decode: it stays in the literal text
      continue;
    }
    const std::string_view literal = value.substr(literal_start, next - literal_start);
    const bool joined = after_word && AllBlank(literal);
    if (!joined || word.charset != run_charset) flush();
    if (!joined) out += ConvertRaw(literal);
    run += word.bytes;
    run_charset = word.charset;
    in_run = true;
    after_word = true;
    at = next + word.length;
    literal_start = at;
  }
  flush();
  out += ConvertRaw(value.substr(literal_start));
  return out;
}

}  // namespace zvrx::mime
