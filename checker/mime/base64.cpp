#include "checker/mime/base64.h"

#include <array>

namespace zvrx::mime {
namespace {

constexpr int kSkip = -2;   // blank or line break: no part of the data
constexpr int kStop = -1;   // anything else ends the data

constexpr std::array<signed char, 256> MakeTable() {
  std::array<signed char, 256> table{};
  for (auto& value : table) value = kStop;
  const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (int i = 0; i < 64; ++i) table[static_cast<unsigned char>(alphabet[i])] = static_cast<signed char>(i);
  for (char c : {' ', '\t', '\r', '\n'}) table[static_cast<unsigned char>(c)] = kSkip;
  return table;
}
constexpr std::array<signed char, 256> kTable = MakeTable();

}  // namespace

std::string DecodeBase64(std::string_view text) {
  std::string out;
  out.reserve(text.size() / 4 * 3 + 2);
  uint32_t bits = 0;
  int count = 0;  // characters of the current group
  for (char c : text) {
    const int value = kTable[static_cast<unsigned char>(c)];
    if (value == kSkip) continue;
    if (value == kStop) break;
    bits = (bits << 6) | static_cast<uint32_t>(value);
    if (++count == 4) {
      out.push_back(static_cast<char>(bits >> 16));
      out.push_back(static_cast<char>(bits >> 8));
      out.push_back(static_cast<char>(bits));
      bits = 0;
      count = 0;
    }
  }
  // A pad, a stop or the cut end: what the group holds in whole bytes.
  if (count == 2) {
    out.push_back(static_cast<char>(bits >> 4));
  } else if (count == 3) {
    out.push_back(static_cast<char>(bits >> 10));
    out.push_back(static_cast<char>(bits >> 2));
  }
  return out;
}

}  // namespace zvrx::mime
