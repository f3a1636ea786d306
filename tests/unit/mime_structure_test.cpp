// Which part of a top is analysed, and how its header is read; hostile
// structures (cut or missing boundaries, deep nesting, many parts) stay
// bounded.
#include <gtest/gtest.h>

#include <string>

#include "checker/mime/mime_structure.h"

namespace zvrx::mime {
namespace {

TEST(MimeStructure, HeaderFieldsAreFoundAtLineStartsAndUnfolded) {
  const std::string header =
      "Reply-To: other@example.com\r\n"
      "content-type: multipart/alternative;\r\n"
      "\tboundary=\"==b1==\"\r\n"
      "Subject : spaced name\r\n";
  std::string value;
  ASSERT_TRUE(FindHeaderField(header, "Content-Type", value));
  EXPECT_EQ(value, "multipart/alternative;\tboundary=\"==b1==\"");
  ASSERT_TRUE(FindHeaderField(header, "SUBJECT", value));
  EXPECT_EQ(value, "spaced name");
  EXPECT_FALSE(FindHeaderField(header, "To", value));  // not inside Reply-To
}

TEST(MimeStructure, ContentTypeParameters) {
  struct Case {
    const char* value;
    const char* type;
    const char* subtype;
    const char* boundary;
    const char* charset;
  };
  const Case cases[] = {
      {"text/plain; charset=UTF-8", "text", "plain", "", "UTF-8"},
      {"Text/HTML; Charset = \"utf-8\"", "text", "html", "", "utf-8"},
      {"multipart/mixed; boundary=\"a;b \\\"c\\\"\"", "multipart", "mixed", "a;b \"c\"", ""},
      {"multipart/related;boundary=xyz;type=\"text/html\"", "multipart", "related", "xyz", ""},
      {"text/plain; charset=\"ISO-2022-JP\"; format=flowed", "text", "plain", "", "ISO-2022-JP"},
      {"text", "text", "", "", ""},
      {"", "", "", "", ""},
  };
  for (const Case& c : cases) {
    const ContentType type = ParseContentType(c.value);
    EXPECT_EQ(type.type, c.type) << c.value;
    EXPECT_EQ(type.subtype, c.subtype) << c.value;
    EXPECT_EQ(type.boundary, c.boundary) << c.value;
    EXPECT_EQ(type.charset, c.charset) << c.value;
  }
}

TEST(MimeStructure, TransferEncodings) {
  EXPECT_EQ(ParseTransferEncoding(" BASE64 "), TransferEncoding::kBase64);
  EXPECT_EQ(ParseTransferEncoding("Quoted-Printable"), TransferEncoding::kQuotedPrintable);
  EXPECT_EQ(ParseTransferEncoding("8bit"), TransferEncoding::kIdentity);
  EXPECT_EQ(ParseTransferEncoding("x-uuencode"), TransferEncoding::kIdentity);
}

// A multipart top with `parts` already written as part texts.
std::string Multipart(const std::string& subtype, const std::string& boundary,
                      std::initializer_list<std::string> parts, bool closed = true) {
  std::string top = "From: a@example.com\r\nContent-Type: multipart/" + subtype +
                    "; boundary=\"" + boundary + "\"\r\n\r\nThis is a preamble.\r\n";
  for (const std::string& part : parts) top += "--" + boundary + "\r\n" + part + "\r\n";
  if (closed) top += "--" + boundary + "--\r\nepilogue\r\n";
  return top;
}

const std::string kPlain = "Content-Type: text/plain; charset=UTF-8\r\n\r\nplain text";
const std::string kHtml =
    "Content-Type: text/html; charset=utf-8\r\nContent-Transfer-Encoding: base64\r\n\r\nPGI+aHRtbDwvYj4=";
const std::string kImage = "Content-Type: image/png\r\nContent-Transfer-Encoding: base64\r\n\r\niVBORw0KGgo=";

TEST(MimeStructure, TheFirstPlainPartElseTheFirstHtmlPart) {
  struct Case {
    const char* rule;
    std::string top;
    bool found;
    bool html;
    std::string content;
  };
  const Case cases[] = {
      {"a top without Content-Type is plain text", "Subject: x\r\n\r\nbody\r\n", true, false,
       "body\r\n"},
      {"alternative: the plain part wins though it comes second",
       Multipart("alternative", "b1", {kHtml, kPlain}), true, false, "plain text"},
      {"HTML only", Multipart("alternative", "b1", {kHtml}), true, true, "PGI+aHRtbDwvYj4="},
      {"an image before the text is passed over", Multipart("mixed", "b1", {kImage, kHtml}), true,
       true, "PGI+aHRtbDwvYj4="},
      {"nested: mixed, related, alternative",
       Multipart("mixed", "outer",
                 {"Content-Type: multipart/related; boundary=mid\r\n\r\n--mid\r\n"
                  "Content-Type: multipart/alternative; boundary=in\r\n\r\n--in\r\n" +
                      kHtml + "\r\n--in\r\n" + kPlain + "\r\n--in--\r\n--mid--",
                  kImage}),
       true, false, "plain text"},
      {"a text part marked as attachment is passed over",
       Multipart("mixed", "b1",
                 {"Content-Type: text/plain\r\nContent-Disposition: attachment; filename=a.txt\r\n\r\nfile",
                  kHtml}),
       true, true, "PGI+aHRtbDwvYj4="},
      {"a part without header is plain text", Multipart("mixed", "b1", {"\r\nbare text"}), true,
       false, "bare text"},
      {"the closing delimiter cut off: the last part runs to the end",
       Multipart("alternative", "b1", {kPlain}, false), true, false, "plain text\r\n"},
      {"a part cut inside its header has no text",
       "Content-Type: multipart/mixed; boundary=b1\r\n\r\n--b1\r\nContent-Type: text/pl", false,
       false, ""},
      {"a boundary that only begins a line's text is no delimiter",
       Multipart("mixed", "b1", {"Content-Type: text/plain\r\n\r\n--b10 stays\r\nmore"}), true,
       false, "--b10 stays\r\nmore"},
      {"a multipart top without boundary has no text",
       "Content-Type: multipart/mixed\r\n\r\n--\r\nContent-Type: text/plain\r\n\r\nx", false,
       false, ""},
      {"a multipart top whose delimiter never comes has no text",
       "Content-Type: multipart/mixed; boundary=zz\r\n\r\ntext without parts", false, false, ""},
      {"a boundary longer than 70 characters is refused",
       Multipart("mixed", std::string(71, 'b'), {kPlain}), false, false, ""},
      {"a huge declared length changes nothing",
       "Content-Length: 99999999999999999999\r\nContent-Type: text/plain\r\n\r\nsmall", true, false,
       "small"},
      {"LF alone ends lines too", "Content-Type: text/html\n\n<p>x</p>", true, true, "<p>x</p>"},
  };
  for (const Case& c : cases) {
    const TextPart part = FindTextPart(c.top);
    EXPECT_EQ(part.found, c.found) << c.rule;
    EXPECT_EQ(part.html, c.html) << c.rule;
    EXPECT_EQ(part.content, c.content) << c.rule;
  }
}

TEST(MimeStructure, ThePartKeepsItsCharsetAndEncoding) {
  const TextPart part = FindTextPart(Multipart("alternative", "b1", {kHtml}));
  EXPECT_EQ(part.charset, Charset::kUtf8);
  EXPECT_EQ(part.encoding, TransferEncoding::kBase64);
}

TEST(MimeStructure, NestingIsFollowedOnlySoDeep) {
  // Each level a multipart holding the next; the text at the bottom.
  auto nested = [](int levels) {
    std::string inner = kPlain;
    for (int level = levels; level > 0; --level) {
      const std::string b = "n" + std::to_string(level);
      inner = "Content-Type: multipart/mixed; boundary=" + b + "\r\n\r\n--" + b + "\r\n" + inner +
              "\r\n--" + b + "--";
    }
    return inner;
  };
  EXPECT_TRUE(FindTextPart(nested(kMaxMultipartDepth)).found);
  EXPECT_FALSE(FindTextPart(nested(kMaxMultipartDepth + 1)).found);
  EXPECT_FALSE(FindTextPart(nested(300)).found);  // and no stack is spent on it
}

TEST(MimeStructure, PartsAreCountedAcrossTheTop) {
  std::string top = "Content-Type: multipart/mixed; boundary=p\r\n\r\n";
  for (int i = 0; i < 200; ++i) top += "--p\r\n" + kImage + "\r\n";
  top += "--p\r\n" + kPlain + "\r\n--p--\r\n";
  EXPECT_FALSE(FindTextPart(top).found);  // the text is the 202nd part
}

}  // namespace
}  // namespace zvrx::mime
