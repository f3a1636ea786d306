#include "checker/mime/folding.h"

#include <cstdint>

#include "platform/cp932.h"

namespace zvrx::mime {
namespace {

constexpr unsigned char kFirstHalfWidth = 0xA1;
constexpr unsigned char kFirstHalfWidthKana = 0xA6;  // ｦ; 0xA1-0xA5 are punctuation
constexpr unsigned char kLastHalfWidth = 0xDF;
constexpr unsigned char kVoicedMark = 0xDE;       // ﾞ
constexpr unsigned char kSemiVoicedMark = 0xDF;   // ﾟ

// Full-width CP932 form of each half-width byte 0xA1-0xDF.
constexpr uint16_t kFullWidth[] = {
    0x8142, 0x8175, 0x8176, 0x8141, 0x8145, 0x8392, 0x8340, 0x8342,
    0x8344, 0x8346, 0x8348, 0x8383, 0x8385, 0x8387, 0x8362, 0x815B,
    0x8341, 0x8343, 0x8345, 0x8347, 0x8349, 0x834A, 0x834C, 0x834E,
    0x8350, 0x8352, 0x8354, 0x8356, 0x8358, 0x835A, 0x835C, 0x835E,
    0x8360, 0x8363, 0x8365, 0x8367, 0x8369, 0x836A, 0x836B, 0x836C,
    0x836D, 0x836E, 0x8371, 0x8374, 0x8377, 0x837A, 0x837D, 0x837E,
    0x8380, 0x8381, 0x8382, 0x8384, 0x8386, 0x8388, 0x8389, 0x838A,
    0x838B, 0x838C, 0x838D, 0x838F, 0x8393, 0x814A, 0x814B,
};
static_assert(sizeof(kFullWidth) / sizeof(kFullWidth[0]) == kLastHalfWidth - kFirstHalfWidth + 1);

constexpr uint16_t kVoicedU = 0x8394;  // ヴ

bool IsHalfWidthKana(unsigned char c) { return c >= kFirstHalfWidthKana && c <= kLastHalfWidth; }

// The full-width code of `base` (a half-width kana) joined with `mark`, or 0.
uint16_t Joined(unsigned char base, unsigned char mark) {
  const bool ka_to_to = base >= 0xB6 && base <= 0xC4;  // ｶ..ﾄ
  const bool ha_to_ho = base >= 0xCA && base <= 0xCE;  // ﾊ..ﾎ
  const uint16_t full = kFullWidth[base - kFirstHalfWidth];
  if (mark == kVoicedMark) {
    if (base == 0xB3) return kVoicedU;  // ｳﾞ
    if (ka_to_to || ha_to_ho) return static_cast<uint16_t>(full + 1);
  } else if (mark == kSemiVoicedMark && ha_to_ho) {
    return static_cast<uint16_t>(full + 2);
  }
  return 0;
}

void AppendPair(std::string& out, uint16_t code) {
  out.push_back(static_cast<char>(code >> 8));
  out.push_back(static_cast<char>(code & 0xFF));
}

bool IsAsciiAlnum(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}
// Characters that make a run part of an address, a time or a number.
bool IsJoiner(char c) {
  switch (c) {
    case '.': case '/': case ':': case '@': case '-': case '_': case '=': case '?':
    case '&': case '%': case '+': case '#': case '~': case ',':
      return true;
    default:
      return false;
  }
}

// Full width of an ASCII letter or digit.
uint16_t FullWidthAlnum(char c) {
  if (c >= '0' && c <= '9') return static_cast<uint16_t>(0x824F + (c - '0'));
  if (c >= 'A' && c <= 'Z') return static_cast<uint16_t>(0x8260 + (c - 'A'));
  return static_cast<uint16_t>(0x8281 + (c - 'a'));
}

// The ASCII letter or digit of a full-width pair, or 0.
char HalfWidthAlnum(unsigned char lead, unsigned char trail) {
  if (lead != 0x82) return 0;
  if (trail >= 0x4F && trail <= 0x58) return static_cast<char>('0' + (trail - 0x4F));
  if (trail >= 0x60 && trail <= 0x79) return static_cast<char>('A' + (trail - 0x60));
  if (trail >= 0x81 && trail <= 0x9A) return static_cast<char>('a' + (trail - 0x81));
  return 0;
}

// CP932 cannot be read backwards, so the start of the character before a
// run is kept while walking forwards.
std::string FoldJapaneseAscii(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  size_t previous_start = std::string_view::npos;  // start of the character before
  size_t at = 0;
  while (at < text.size()) {
    if (!IsAsciiAlnum(text[at])) {
      previous_start = at;
      const size_t length = platform::Cp932CharLength(text, at);
      out.append(text.substr(at, length));
      at += length;
      continue;
    }
    size_t end = at;
    while (end < text.size() && IsAsciiAlnum(text[end])) ++end;
    const bool before_japanese =
        previous_start != std::string_view::npos && IsJapaneseCharacter(text, previous_start);
    const bool after_japanese = end < text.size() && IsJapaneseCharacter(text, end);
    const bool joined = (at > 0 && IsJoiner(text[at - 1]) && previous_start == at - 1) ||
                        (end < text.size() && IsJoiner(text[end]));
    if ((before_japanese || after_japanese) && !joined) {
      for (size_t i = at; i < end; ++i) AppendPair(out, FullWidthAlnum(text[i]));
    } else {
      out.append(text.substr(at, end - at));
    }
    previous_start = end - 1;
    at = end;
  }
  return out;
}

std::string FoldEnglishAscii(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t at = 0;
  while (at < text.size()) {
    const size_t length = platform::Cp932CharLength(text, at);
    const char half = length == 2 ? HalfWidthAlnum(static_cast<unsigned char>(text[at]),
                                                   static_cast<unsigned char>(text[at + 1]))
                                  : 0;
    if (half != 0) {
      out.push_back(half);
    } else {
      out.append(text.substr(at, length));
    }
    at += length;
  }
  return out;
}

}  // namespace

bool IsJapaneseCharacter(std::string_view text, size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  if (IsHalfWidthKana(lead)) return true;
  if (!platform::IsCp932LeadByte(lead) || at + 1 >= text.size()) return false;
  const auto trail = static_cast<unsigned char>(text[at + 1]);
  if (lead == 0x81) return trail >= 0x52 && trail <= 0x5B;  // ヽヾゝゞ〃仝々〆〇ー
  if (lead == 0x82) return trail >= 0x9F && trail <= 0xF1;  // hiragana
  if (lead == 0x83) return trail >= 0x40 && trail <= 0x96;  // katakana
  if (lead == 0x88) return trail >= 0x9F;                   // the first kanji is 0x889F
  return (lead >= 0x89 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xEA) ||
         lead == 0xED || lead == 0xEE || (lead >= 0xFA && lead <= 0xFC);
}

LanguageClass ClassifyText(std::string_view text) {
  size_t at = 0;
  while (at < text.size()) {
    if (IsJapaneseCharacter(text, at)) return LanguageClass::kJapanese;
    at += platform::Cp932CharLength(text, at);
  }
  return LanguageClass::kEnglish;
}

std::string FoldHalfWidthKatakana(std::string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  size_t at = 0;
  while (at < text.size()) {
    const auto c = static_cast<unsigned char>(text[at]);
    if (!IsHalfWidthKana(c)) {
      const size_t length = platform::Cp932CharLength(text, at);
      out.append(text.substr(at, length));
      at += length;
      continue;
    }
    if (at + 1 < text.size()) {
      const uint16_t joined = Joined(c, static_cast<unsigned char>(text[at + 1]));
      if (joined != 0) {
        AppendPair(out, joined);
        at += 2;
        continue;
      }
    }
    AppendPair(out, kFullWidth[c - kFirstHalfWidth]);
    ++at;
  }
  return out;
}

std::string FoldForMatching(std::string_view text, LanguageClass language) {
  const std::string kana = FoldHalfWidthKatakana(text);
  return language == LanguageClass::kJapanese ? FoldJapaneseAscii(kana) : FoldEnglishAscii(kana);
}

}  // namespace zvrx::mime
