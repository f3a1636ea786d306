#include "tests/support/mail_encoding.h"

#include <cstdint>

namespace zvrx::test {

std::string Base64Encode(const std::string& bytes, size_t line_length) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  size_t on_line = 0;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    uint32_t n = static_cast<uint32_t>(static_cast<uint8_t>(bytes[i])) << 16;
    if (i + 1 < bytes.size()) n |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[i + 1])) << 8;
    if (i + 2 < bytes.size()) n |= static_cast<uint8_t>(bytes[i + 2]);
    out += kAlphabet[(n >> 18) & 63];
    out += kAlphabet[(n >> 12) & 63];
    out += i + 1 < bytes.size() ? kAlphabet[(n >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? kAlphabet[n & 63] : '=';
    on_line += 4;
    if (on_line >= line_length) {
      out += "\r\n";
      on_line = 0;
    }
  }
  if (on_line > 0) out += "\r\n";
  return out;
}

std::string QuotedPrintableEncode(const std::string& bytes) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  size_t on_line = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    const auto c = static_cast<uint8_t>(bytes[i]);
    if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
      out += "\r\n";
      ++i;
      on_line = 0;
      continue;
    }
    std::string piece;
    if (c >= 0x80 || c == '=' || (c < 0x20 && c != '\t')) {
      piece = {'=', kHex[c >> 4], kHex[c & 15]};
    } else {
      piece = static_cast<char>(c);
    }
    if (on_line + piece.size() > 75) {
      out += "=\r\n";
      on_line = 0;
    }
    out += piece;
    on_line += piece.size();
  }
  return out;
}

std::string Utf8Word(const std::string& utf8) {
  std::string encoded = Base64Encode(utf8, 1u << 20);
  if (encoded.size() >= 2) encoded.resize(encoded.size() - 2);  // its CR LF
  return "=?UTF-8?B?" + encoded + "?=";
}

}  // namespace zvrx::test
