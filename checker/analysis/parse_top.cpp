#include "checker/analysis/parse_top.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "checker/analysis/judgment.h"
#include "checker/analysis/parse_message.h"
#include "checker/mime/modern_mail.h"

namespace zvrx {

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool ContainsNoCase(std::string_view text, std::string_view pattern) {
  return std::search(text.begin(), text.end(), pattern.begin(), pattern.end(),
                     [](char a, char b) { return Lower(a) == Lower(b); }) != text.end();
}

std::string_view HeaderOf(std::string_view top) {
  for (size_t i = 0; i < top.size(); ++i) {
    if (top[i] != '\n') continue;
    if (i + 1 < top.size() && top[i + 1] == '\n') return top.substr(0, i);
    if (i + 2 < top.size() && top[i + 1] == '\r' && top[i + 2] == '\n') return top.substr(0, i);
  }
  return top;
}

// A header in UTF-8: encoded words of that charset, or raw 8-bit text that
// is well-formed UTF-8 (legacy Shift-JIS or EUC-JP bytes rarely are).
bool HeaderIsUtf8(std::string_view header) {
  if (ContainsNoCase(header, "=?utf-8?") || ContainsNoCase(header, "=?utf8?")) return true;
  const bool eight_bit =
      std::any_of(header.begin(), header.end(), [](char c) { return (c & 0x80) != 0; });
  return eight_bit && mime::IsValidUtf8(header);
}

bool IsUnicode(mime::Charset charset) {
  return charset == mime::Charset::kUtf8 || charset == mime::Charset::kUtf16 ||
         charset == mime::Charset::kUtf16Be || charset == mime::Charset::kUtf16Le;
}

// Step 7 of the comprehensive judgment on the written result: neither
// Japanese nor English? Mail of an unclear format is the format handling's
// and not asked about here.
bool WrittenClassIsOther(const MailRecord& record, const char* body,
                         const EuropeanCharsetList& european) {
  switch (ContentClass(record.content_type)) {
    case kContentText:
      return CharsetClass(record.charset, european) == kClassOther;
    case kContentMultipart:
      return (record.charset[0] != '\0' ? CharsetClass(record.charset, european)
                                        : BodyCharsetClass(body, european)) == kClassOther;
    default:
      return false;
  }
}

void CopyField(char (&field)[kMailFieldSize], const std::string& text) {
  std::memset(field, 0, sizeof field);
  std::memcpy(field, text.data(), std::min(text.size(), sizeof field - 1));
}

}  // namespace

void ParseTop(char* text, int16_t& text_length, MailRecord& record, ShiftJisConverter& converter,
              bool modern, const EuropeanCharsetList& european) {
  record.read_as = kReadWritten;
  if (!modern) {
    ParseMessage(text, text_length, record, converter);
    return;
  }
  // The written decoding works in place; today's decoding needs the top as
  // it came.
  const std::string top(text, static_cast<size_t>(std::max<int16_t>(text_length, 0)));
  ParseMessage(text, text_length, record, converter);

  const mime::ModernMail mail = mime::DecodeModernTop(top);
  if (!mail.text_found || !mail.charset_known) return;
  const bool todays = mail.encoding != mime::TransferEncoding::kIdentity ||
                      IsUnicode(mail.charset) || mail.html || HeaderIsUtf8(HeaderOf(top)) ||
                      WrittenClassIsOther(record, text, european);
  if (!todays) return;

  CopyField(record.from, mail.from);
  CopyField(record.subject, mail.subject);
  // The body first, as the written decoding leaves it; behind its NUL the
  // header, because the scoring measures the text length L over the whole
  // top (header included) and weighs the Subject and sets the threshold by
  // it. A decoded message thus gets the L its legacy twin would have, not
  // the smaller one of its body alone. Never longer than the top, so it
  // fits where the top was.
  const std::string_view header = HeaderOf(top);
  const size_t length = std::min(mail.body.size(), top.size());
  std::memcpy(text, mail.body.data(), length);
  size_t end = length;
  if (end < top.size()) {
    text[end++] = '\0';
    const size_t behind = std::min(header.size(), top.size() - end);
    std::memcpy(text + end, header.data(), behind);
    end += behind;
  }
  text[end] = '\0';
  text_length = static_cast<int16_t>(end);
  record.read_as = mail.language == mime::LanguageClass::kJapanese ? kReadDecodedJapanese
                                                                    : kReadDecodedEnglish;
}

}  // namespace zvrx
