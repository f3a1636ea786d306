#include "checker/analysis/encoded_words.h"

#include <cstring>

#include "checker/analysis/find_no_case.h"

namespace zvrx {

namespace {

constexpr char kOpening[] = "=?ISO-2022-JP?B?";
constexpr int kOpeningLength = sizeof(kOpening) - 1;  // 16
constexpr char kClosing[] = "?=";
constexpr int kClosingLength = sizeof(kClosing) - 1;

int Base64Value(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

// Reads one group of at most `available` (1..4) characters. Returns the
// number of characters that carry data (0..4), or -1 when a character is
// outside the alphabet; `ended` is set when a pad ended the data.
int ReadGroup(const char* chars, int available, int values[4], bool& ended) {
  for (int k = 0; k < available; ++k) {
    const unsigned char c = static_cast<unsigned char>(chars[k]);
    if (c == '=') {
      ended = true;
      return k;
    }
    values[k] = Base64Value(c);
    if (values[k] < 0) return -1;
  }
  return available;
}

// Bytes of a group of `count` characters: 4 give 3, 3 give 2, 2 give 1, and a
// lone character gives its six bits shifted left by two.
int GroupBytes(const int values[4], int count, unsigned char out[3]) {
  switch (count) {
    case 4:
      out[2] = static_cast<unsigned char>(((values[2] & 3) << 6) | values[3]);
      [[fallthrough]];
    case 3:
      out[1] = static_cast<unsigned char>(((values[1] & 15) << 4) | (values[2] >> 2));
      [[fallthrough]];
    case 2:
      out[0] = static_cast<unsigned char>((values[0] << 2) | (values[1] >> 4));
      return count - 1;
    case 1:
      out[0] = static_cast<unsigned char>(values[0] << 2);
      return 1;
    default:
      return 0;
  }
}

// Walks the Base64 text group by group and hands each group's bytes to
// `sink`. Returns the decoded length, or -1 when the word is invalid.
template <typename Sink>
int WalkBase64(const char* chars, int count, Sink&& sink) {
  int decoded = 0;
  int position = 0;
  while (position < count) {
    // Whole groups while more than three characters remain, then one final
    // group of what is left.
    const int available = (count - position > 3) ? 4 : count - position;
    int values[4] = {};
    bool ended = false;
    const int used = ReadGroup(chars + position, available, values, ended);
    if (used < 0) return -1;
    unsigned char bytes[3];
    const int produced = GroupBytes(values, used, bytes);
    sink(bytes, produced);
    decoded += produced;
    if (ended) break;
    position += available;
  }
  return decoded;
}

// Decodes the word's Base64 text to `out`, which lies at or before the text
// (the opening sequence alone is 16 bytes); the bytes pass through the
// scratch area and are written whenever it fills.
void DecodeInPieces(const char* chars, int count, char* out) {
  unsigned char scratch[kEncodedWordScratchSize];
  int filled = 0;
  int written = 0;
  WalkBase64(chars, count, [&](const unsigned char* bytes, int produced) {
    for (int k = 0; k < produced; ++k) {
      if (filled == kEncodedWordScratchSize) {
        std::memcpy(out + written, scratch, filled);
        written += filled;
        filled = 0;
      }
      scratch[filled++] = bytes[k];
    }
  });
  std::memcpy(out + written, scratch, filled);
}

}  // namespace

void DecodeEncodedWords(char* text, int& length, int& end) {
  int search_from = 0;
  while (search_from < end) {
    char* opening = FindNoCase(text + search_from, kOpening);
    if (opening == nullptr) return;
    const char* closing = FindNoCase(opening + kOpeningLength, kClosing);
    if (closing == nullptr) return;

    const char* chars = opening + kOpeningLength;
    const int count = static_cast<int>(closing - chars);
    const int decoded = WalkBase64(chars, count, [](const unsigned char*, int) {});
    if (decoded <= 0) return;  // empty or invalid: this and later words stay

    DecodeInPieces(chars, count, opening);

    const int start = static_cast<int>(opening - text);
    const int tail = static_cast<int>(closing - text) + kClosingLength;
    const int removed = tail - (start + decoded);
    std::memmove(text + start + decoded, text + tail, end - tail + 1);
    end -= removed;
    length -= removed;
    if (length < 0) length = 0;
    if (length > end) length = end;
    search_from = start + decoded;  // decoded bytes are never searched again
  }
}

}  // namespace zvrx
