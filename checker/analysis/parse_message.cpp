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

}  // namespace

void ParseMessage(char* text, int16_t& text_length, MailRecord& record,
                  ShiftJisConverter& converter) {
  int length = text_length > 0 ? text_length : 0;
  int end = length + static_cast<int>(std::strlen(text + length));

  DecodeEncodedWords(text, length, end);
  const TextCode code = DetectCode(text, length, converter);
  length = ConvertToShiftJis(text, length, code, converter);
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

  if (body != nullptr) std::memmove(text, body, std::strlen(body) + 1);
}

}  // namespace zvrx
