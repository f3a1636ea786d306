// Folding for the dictionary scan, and the language class of decoded text.
#include <gtest/gtest.h>

#include <string>

#include "checker/mime/folding.h"
#include "platform/cp932.h"
#include "tests/support/sjis.h"

namespace zvrx::mime {
namespace {

using test::Sjis;

TEST(MimeFolding, HalfWidthKatakanaBecomeFullWidthWithTheirMarks) {
  struct Case {
    const char* rule;
    const char* text;
    const char* expected;
  };
  const Case cases[] = {
      {"plain kana", "ｱｶｳﾝﾄ", "アカウント"},
      {"voiced marks join", "ｶﾞｷﾞｸﾞｻﾞﾀﾞﾄﾞﾊﾞﾎﾞ", "ガギグザダドバボ"},
      {"semi-voiced marks join", "ﾊﾟﾋﾟﾌﾟﾍﾟﾎﾟ", "パピプペポ"},
      {"u with a voiced mark", "ｳﾞｨ", "ヴィ"},
      {"the long vowel mark", "ﾃﾞｰﾀ", "データ"},
      {"a mark the kana before cannot take stays a mark", "ｱﾞﾏﾟ", "ア゛マ゜"},
      {"a mark alone", "ﾞﾟ", "゛゜"},
      {"small kana and wo", "ｧｨｩｪｫｬｭｮｯｦﾝ", "ァィゥェォャュョッヲン"},
      {"half-width punctuation is kept", "｡｢｣､･", "｡｢｣､･"},
      {"full-width text and trail bytes in the kana range are not touched", "漢字ソ表", "漢字ソ表"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FoldHalfWidthKatakana(Sjis(c.text)), Sjis(c.expected)) << c.rule;
  }
}

TEST(MimeFolding, JapaneseTextTakesTheDictionariesFullWidthForm) {
  struct Case {
    const char* rule;
    const char* text;
    const char* expected;
  };
  const Case cases[] = {
      {"digits before kanji", "24時間以内に", "２４時間以内に"},
      {"letters before kana", "IDがロック", "ＩＤがロック"},
      {"letters after kana", "メールabc", "メールａｂｃ"},
      {"a run apart from Japanese keeps its width", "Apple IDがロック", "Apple ＩＤがロック"},
      {"a time keeps its width", "本日23:59まで", "本日23:59まで"},
      {"a number with a comma keeps its width", "1,000円", "1,000円"},
      {"an address keeps its width",
       "https://example.test/saihaitatsuはこちら", "https://example.test/saihaitatsuはこちら"},
      {"a mail address keeps its width", "お問い合わせinfo@example.jpまで",
       "お問い合わせinfo@example.jpまで"},
      {"half-width kana count as Japanese once folded", "ｱｶｳﾝﾄID", "アカウントＩＤ"},
      {"full-width letters stay", "ＳＭＳで不在", "ＳＭＳで不在"},
      {"English words in Japanese text stay", "Amazon のお知らせ", "Amazon のお知らせ"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FoldForMatching(Sjis(c.text), LanguageClass::kJapanese), Sjis(c.expected))
        << c.rule;
  }
}

TEST(MimeFolding, EnglishTextTakesHalfWidthLettersAndDigits) {
  EXPECT_EQ(FoldForMatching(Sjis("ＶＩＡＧＲＡ ｎｏｗ １００％ off"), LanguageClass::kEnglish),
            Sjis("VIAGRA now 100％ off"));
  EXPECT_EQ(FoldForMatching("plain words", LanguageClass::kEnglish), "plain words");
}

TEST(MimeFolding, TextWithKanaOrKanjiIsJapanese) {
  struct Case {
    const char* text;
    LanguageClass expected;
  };
  const Case cases[] = {
      {"Hello", LanguageClass::kEnglish},
      {"Ｈｅｌｌｏ！ ① 【】", LanguageClass::kEnglish},  // full-width letters and symbols only
      {"Hello あ", LanguageClass::kJapanese},
      {"Hello カ", LanguageClass::kJapanese},
      {"Hello 株", LanguageClass::kJapanese},
      {"Hello 髙", LanguageClass::kJapanese},  // IBM extension kanji
      {"ｱ", LanguageClass::kJapanese},
      {"", LanguageClass::kEnglish},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ClassifyText(Sjis(c.text)), c.expected) << c.text;
  }
  // A lead byte cut off by the end is no character.
  EXPECT_EQ(ClassifyText("abc\x88"), LanguageClass::kEnglish);
}

}  // namespace
}  // namespace zvrx::mime
