// HTML-only mail made text: tags, comments, scripts, styles and the title
// dropped, references decoded, lines kept, link targets kept beside their
// text.
#include <gtest/gtest.h>

#include <string>

#include "checker/mime/html_text.h"

namespace zvrx::mime {
namespace {

TEST(MimeHtmlText, MakesTextOfHtml) {
  struct Case {
    const char* rule;
    std::string html;
    std::string expected;  // UTF-8
  };
  const Case cases[] = {
      {"paragraphs end lines, named references decoded",
       "<p>Hello&nbsp;&amp; welcome</p><p>Second</p>", "Hello & welcome\r\nSecond\r\n"},
      {"a comment is dropped with what it hides", "a<!-- hidden words -->b", "ab"},
      {"style and script are dropped with their content",
       "<style>p{color:red}</style>x<SCRIPT type=\"a\">var t='<b>';</script >y", "xy"},
      {"the title is dropped: the reader sees the Subject it repeats",
       "<head><TITLE>Points expire today</Title></head><p>Body</p>", "Body\r\n"},
      {"every br ends a line", "a<br>b<br/><BR>c", "a\r\nb\r\n\r\nc"},
      {"div and li end lines once", "<div><div>one</div></div><ul><li>two<li>three</ul>",
       "one\r\ntwo\r\nthree\r\n"},
      {"table rows end lines, cells are separated by a blank",
       "<table><tr><td>A</td><td>B</td></tr><tr><td>C</td></tr></table>", "A B\r\nC\r\n"},
      {"decimal and hexadecimal references", "&#12354;&#x3044;&#X41;&#66", "\xE3\x81\x82\xE3\x81\x84" "AB"},
      {"a reference to no character is a blank", "x&#0;y&#xD800;z&#x110000;w", "x y z w"},
      {"zero-width references are dropped", "pay&zwnj;pal&shy;", "paypal"},
      {"an unknown name or a bare & is text", "AT&T &foo; a&b", "AT&T &foo; a&b"},
      {"runs of blanks and line breaks are one blank", "a \r\n\t b\r\n", "a b"},
      {"a '<' in running text stays", "1 < 2 <3", "1 < 2 <3"},
      {"a '>' inside a quoted attribute does not end the tag", "<img alt=\"a>b\" src='x'>text",
       "text"},
      {"a link's target follows its text",
       "<a href=\"https://example.test/login?id=1&amp;k=2\">Click here</a> now",
       "Click here https://example.test/login?id=1&k=2 now"},
      {"unquoted target", "<A HREF=https://example.test/x>go</A>", "go https://example.test/x"},
      {"a link whose text is its target gives it once",
       "<a href=\"https://example.test/\">https://example.test/</a>", "https://example.test/"},
      {"a link without closing tag keeps its target at the end", "<a href=\"https://example.test/\">go",
       "go https://example.test/"},
      {"an anchor inside the page is no target", "<a href=\"#top\">top</a>", "top"},
      {"a tag cut off by the end of the top drops the rest", "text<a href=\"https://exa",
       "text"},
      {"an unclosed comment drops the rest", "a<!-- b", "a"},
      {"an unclosed script drops the rest", "a<script>b", "a"},
      {"doctype and processing instructions are dropped", "<!DOCTYPE html><?xml x?>a", "a"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(HtmlToText(c.html), c.expected) << c.rule;
  }
}

TEST(MimeHtmlText, OutsideUtf8AReferenceBeyondAsciiIsABlank) {
  EXPECT_EQ(HtmlToText("a&#12354;b&amp;", false), "a b&");
  // Bytes of the unknown charset pass as they are.
  EXPECT_EQ(HtmlToText("<p>\xB0\xA1</p>", false), "\xB0\xA1\r\n");
}

TEST(MimeHtmlText, NeverLongerThanItsInput) {
  const std::string inputs[] = {
      "<a href=x>y</a>", "&#128", "&yen;", "&larr;", "<p>a<p>b<br>", "<td>a<td>b",
      "<a href=\"u\"></a><a href=\"v\"></a>",
  };
  for (const std::string& html : inputs) {
    EXPECT_LE(HtmlToText(html).size(), html.size()) << html;
  }
}

}  // namespace
}  // namespace zvrx::mime
