#include "checker/mime/modern_mail.h"

#include <algorithm>

#include "checker/mime/base64.h"
#include "checker/mime/charset_conversion.h"
#include "checker/mime/header_text.h"
#include "checker/mime/html_text.h"
#include "checker/mime/mime_structure.h"
#include "checker/mime/quoted_printable.h"
#include "platform/cp932.h"

namespace zvrx::mime {
namespace {

std::string HeaderText(std::string_view header, std::string_view name) {
  std::string value;
  if (!FindHeaderField(header, name, value)) return {};
  // Tabs and blanks of a fold: one blank is enough for the log.
  std::string decoded = DecodeHeaderText(value);
  for (char& c : decoded) {
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  }
  return std::string(platform::Cp932Prefix(decoded, kMaxHeaderTextSize));
}

std::string TransferDecode(std::string_view content, TransferEncoding encoding) {
  switch (encoding) {
    case TransferEncoding::kBase64:
      return DecodeBase64(content);
    case TransferEncoding::kQuotedPrintable:
      return DecodeQuotedPrintable(content);
    case TransferEncoding::kIdentity:
      break;
  }
  return std::string(content);
}

}  // namespace

ModernMail DecodeModernTop(std::string_view top) {
  top = top.substr(0, kMaxTopSize);
  ModernMail mail;
  const Entity entity = SplitEntity(top);
  mail.from = HeaderText(entity.header, "From");
  mail.subject = HeaderText(entity.header, "Subject");

  const TextPart part = FindTextPart(top);
  mail.text_found = part.found;
  mail.html = part.html;
  mail.charset = part.charset;
  mail.encoding = part.encoding;
  mail.charset_known = true;
  std::string text;
  if (part.found) {
    const std::string bytes = TransferDecode(part.content, part.encoding);
    // Undeclared 8-bit text that is well-formed UTF-8 is today's mail too.
    if (part.charset == Charset::kUndeclared &&
        std::any_of(bytes.begin(), bytes.end(), [](char c) { return (c & 0x80) != 0; }) &&
        IsValidUtf8(bytes)) {
      mail.charset = Charset::kUtf8;
    }
    std::string utf8;
    if (ToUtf8(bytes, part.charset, utf8)) {
      text = Utf8ToCp932Blank(part.html ? HtmlToText(utf8, true) : utf8);
    } else {
      mail.charset_known = false;
      text = part.html ? HtmlToText(bytes, false) : bytes;
    }
  }

  if (mail.charset_known) {
    mail.language = ClassifyText(mail.subject) == LanguageClass::kJapanese
                        ? LanguageClass::kJapanese
                        : ClassifyText(text);
    text = FoldForMatching(text, mail.language);
  }
  mail.body = std::string(platform::Cp932Prefix(text, top.size()));
  return mail;
}

}  // namespace zvrx::mime
