#include "checker/analysis/parse_message.h"

#include <cstring>

#include "checker/analysis/code_detection.h"
#include "checker/analysis/encoded_words.h"
#include "checker/analysis/find_no_case.h"

namespace zvrx {

namespace {

constexpr char kHeaderEnd[] = "\r\n\r\n";
constexpr int kHeaderEndLength = sizeof(kHeaderEnd) - 1;
constexpr int kFieldTextMax = kMailFieldSize - 1;  // room for the NUL

// A CR LF that a blank or tab follows continues the field on the next line.
bool IsFold(const char* p) {
  return p[0] == '\r' && p[1] == '\n' && (p[2] == ' ' || p[2] == '\t');
}
bool IsLineEnd(const char* p) { return p[0] == '\r' && p[1] == '\n'; }

// Copies the value behind the first `literal` in the header into `field`:
// up to `stop` (0: none), the end of the field's line (folds joined by their
// blank or tab) or the header's end, at most 254 bytes.
void ExtractField(const char* header, const char* literal, char stop, char* field) {
  std::memset(field, 0, kMailFieldSize);
  const char* p = FindNoCase(header, literal);
  if (p == nullptr) return;
  p += std::strlen(literal);
  int n = 0;
  while (*p != '\0' && n < kFieldTextMax) {
    if (stop != '\0' && *p == stop) break;
    if (IsFold(p)) {
      p += 2;
      continue;
    }
    if (IsLineEnd(p)) break;
    field[n++] = *p++;
  }
}

// Commas in the value behind the first `literal` (matched with its case),
// folded lines included.
int32_t CountCommas(const char* header, const char* literal) {
  const char* p = std::strstr(header, literal);
  if (p == nullptr) return 0;
  p += std::strlen(literal);
  int32_t commas = 0;
  while (*p != '\0') {
    if (IsFold(p)) {
      p += 2;
      continue;
    }
    if (IsLineEnd(p)) break;
    if (*p == ',') ++commas;
    ++p;
  }
  return commas;
}

// Converts the header and the body each by the code detected in it: bulk
// senders put EUC-JP or Shift-JIS bodies behind ISO-2022-JP encoded words,
// and one code taken from the header's escapes would leave such a body
// unconverted. Returns the converted length; the converted body follows
// the converted header directly, and whatever lay behind the body (TOP's
// last LF, the NUL) moves with it.
int ConvertHeaderAndBody(char* text, int length, ShiftJisConverter& converter) {
  const void* blank = memmem(text, static_cast<size_t>(length), kHeaderEnd, kHeaderEndLength);
  if (blank == nullptr) {
    return ConvertToShiftJis(text, length, DetectCode(text, length, converter), converter);
  }
  const int head = static_cast<int>(static_cast<const char*>(blank) - text) + kHeaderEndLength;
  // A conversion ends its text with a NUL, which may land on the body's first byte.
  const char first_body_byte = text[head];
  const int head_length =
      ConvertToShiftJis(text, head, DetectCode(text, head, converter), converter);
  text[head] = first_body_byte;

  char* body = text + head;
  int body_length = length - head;
  body_length = ConvertToShiftJis(body, body_length, DetectCode(body, body_length, converter),
                                  converter);
  if (head_length < head) {
    const size_t tail = std::strlen(body + body_length);
    std::memmove(text + head_length, body, static_cast<size_t>(body_length) + tail + 1);
  }
  return head_length + body_length;
}

}  // namespace

void ParseMessage(char* text, int16_t& text_length, MailRecord& record,
                  ShiftJisConverter& converter) {
  int length = text_length > 0 ? text_length : 0;
  int end = length + static_cast<int>(std::strlen(text + length));

  DecodeEncodedWords(text, length, end);
  length = ConvertHeaderAndBody(text, length, converter);
  text_length = static_cast<int16_t>(length);

  char* body = nullptr;
  if (char* header_end = std::strstr(text, kHeaderEnd)) {
    *header_end = '\0';
    body = header_end + kHeaderEndLength;
  }

  const char* header = text;
  ExtractField(header, "Subject: ", '\0', record.subject);
  ExtractField(header, "From: ", '\0', record.from);
  ExtractField(header, "Date: ", '\0', record.date);
  ExtractField(header, "Message-Id: ", '\0', record.message_id);
  ExtractField(header, "Content-Type: ", '/', record.content_type);
  ExtractField(header, "charset=\"", '"', record.charset);
  if (record.charset[0] == '\0') ExtractField(header, "charset=", '\0', record.charset);

  // "To: " is matched with its case and anywhere in a line, so a Reply-To
  // line before the To line is the one counted, as the checker always did.
  record.extra_recipients = CountCommas(header, "To: ") + CountCommas(header, "Cc: ");
  record.read_as = kReadWritten;

  if (body != nullptr) std::memmove(text, body, std::strlen(body) + 1);
}

}  // namespace zvrx
