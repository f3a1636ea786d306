// Folding of decoded CP932 text for the dictionary scan, and the language
// class of a decoded message.
//
// The choice of direction follows the dictionaries. Japanese entries write
// letters and digits that sit among kana or kanji in full width
// ("２４時間以内", "ＩＤがロック"), and a word beginning with a half-width
// letter never matches right after a Japanese character; their half-width
// letters and digits stand alone (addresses, "bit.ly/", "saihaitatsu").
// English entries are lower-case half-width, and English text is lowered
// before the scan. So:
// - Japanese text: a run of half-width letters and digits that touches a
//   kana or kanji on either side, and is not part of an address, time or
//   number ("23:59", "1,000", "example.jp"), becomes full width; anything
//   else keeps its width.
// - English text: full-width letters and digits become half-width.
// - Both: half-width katakana become full-width katakana, a voiced or
//   semi-voiced mark joined with the kana before it ("ｶﾞ" is "ガ"). The
//   half-width punctuation (｡｢｣､･) is kept: dictionary forms spell it.
// The dictionary words themselves can be passed through the same folding
// when they are loaded, so that a word and a text folded alike meet.
#pragma once

#include <string>
#include <string_view>

namespace zvrx::mime {

enum class LanguageClass {
  kJapanese,
  kEnglish,
};

// True for the CP932 character at `at` when it is a kana (full or half
// width, the long-vowel and iteration marks included) or a kanji.
bool IsJapaneseCharacter(std::string_view cp932, size_t at);

// Japanese when `cp932` holds a kana or a kanji, else English.
LanguageClass ClassifyText(std::string_view cp932);

// Half-width katakana to full width, as above; everything else unchanged.
std::string FoldHalfWidthKatakana(std::string_view cp932);

// The whole folding for the given class. The result is at most twice as
// long as `cp932` (each folded byte becomes a pair).
std::string FoldForMatching(std::string_view cp932, LanguageClass language);

}  // namespace zvrx::mime
