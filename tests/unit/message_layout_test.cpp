// Line layout, buffer cut and placement of the message dialogs.
#include "settings/model/message_layout.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/cp932.h"

namespace zvrx {
namespace {

using platform::Utf8ToCp932;
using Lines = std::vector<std::string>;

struct LayoutCase {
  const char* rule;
  std::string text;  // CP932
  int fields;
  Lines expected;    // CP932
};

TEST(MessageLayout, LinesGoToTheFieldsInTurn) {
  const std::string sjis_kan = Utf8ToCp932("漢");
  const LayoutCase cases[] = {
      {"the no-account report: its two sentences in the first two of four fields",
       Utf8ToCp932("有効なアカウントが設定されていません。\n\n少なくとも１つは設定して下さい。\n"), 4,
       {Utf8ToCp932("有効なアカウントが設定されていません。"),
        Utf8ToCp932("少なくとも１つは設定して下さい。"), "", ""}},
      {"a leading line feed leaves the first field empty and skips the next character",
       "\nXsecond\nthird\n", 4, {"", "second", "third", ""}},
      {"a text without any line feed shows nothing", "no line feed", 3, {"", "", ""}},
      {"text after the last line feed is not shown", "one\n\ntwo\ntail", 4,
       {"one", "two", "", ""}},
      {"lines beyond the last field are dropped", "a\n\nb\nc\nd\ne\n", 3, {"a", "b", "c"}},
      {"the skip after the first line takes a whole double-byte character",
       "a\n" + sjis_kan + "b\n", 2, {"a", "b"}},
      {"a text ending right after the first line", "only\n", 2, {"only", ""}},
      {"an empty text", "", 2, {"", ""}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LayOutMessageLines(c.text, c.fields), c.expected) << c.rule;
  }
}

TEST(MessageLayout, TextIsCutToTheBufferWithoutSplittingACharacter) {
  constexpr size_t kBuffer = 200;
  const std::string kanji = Utf8ToCp932("字");
  ASSERT_EQ(kanji.size(), 2u);
  struct {
    const char* rule;
    std::string text;
    size_t expected_size;
  } cases[] = {
      {"199 bytes fit with the terminator", std::string(199, 'a'), 199},
      {"200 bytes lose the last one", std::string(200, 'a'), 199},
      {"201 bytes lose two", std::string(201, 'a'), 199},
      {"a double-byte character ending at byte 199 fits", std::string(197, 'a') + kanji, 199},
      {"a double-byte character across the limit goes whole", std::string(198, 'a') + kanji,
       198},
      {"the text ends at its first NUL", std::string("ab\0cd", 5), 2},
  };
  for (const auto& c : cases) {
    const std::string cut = CutMessageText(c.text, kBuffer);
    EXPECT_EQ(cut.size(), c.expected_size) << c.rule;
    EXPECT_EQ(cut, c.text.substr(0, cut.size())) << c.rule;
  }
}

TEST(MessageLayout, DialogIsCentredOverItsOwnerOrTheScreen) {
  const ScreenSize screen{1024, 768};
  const platform::ui::PixelRect dialog{5, 200, 300, 120};

  const platform::ui::PixelRect owner{100, 50, 400, 300};
  const auto over_owner = PlaceMessageDialog(dialog, &owner, screen);
  EXPECT_EQ(over_owner.x, 150);  // 100 + (400 - 300) / 2
  EXPECT_EQ(over_owner.y, 200);  // keeps its vertical position
  EXPECT_EQ(over_owner.width, 300);
  EXPECT_EQ(over_owner.height, 120);

  const auto on_screen = PlaceMessageDialog(dialog, nullptr, screen);
  EXPECT_EQ(on_screen.x, 362);
  EXPECT_EQ(on_screen.y, 324);

  // An owner near the left edge would push the dialog off the screen.
  const platform::ui::PixelRect narrow_owner{0, 0, 100, 100};
  EXPECT_EQ(PlaceMessageDialog(dialog, &narrow_owner, screen).x, 1);
}

}  // namespace
}  // namespace zvrx
