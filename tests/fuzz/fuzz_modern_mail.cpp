// The decoders of today's mail on arbitrary tops: whatever the input, the
// outputs keep their bounds and nothing is read or written outside a buffer
// (AddressSanitizer watches the second part).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "checker/mime/base64.h"
#include "checker/mime/header_text.h"
#include "checker/mime/html_text.h"
#include "checker/mime/modern_mail.h"
#include "checker/mime/quoted_printable.h"
#include "platform/cp932.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  using namespace zvrx::mime;

  const ModernMail mail = DecodeModernTop(input);
  const size_t read = size < kMaxTopSize ? size : kMaxTopSize;
  if (mail.body.size() > read) __builtin_trap();
  if (mail.from.size() > kMaxHeaderTextSize || mail.subject.size() > kMaxHeaderTextSize) {
    __builtin_trap();
  }
  // Converted text ends on a whole character.
  if (mail.charset_known &&
      zvrx::platform::Cp932Prefix(mail.body, mail.body.size()).size() != mail.body.size()) {
    __builtin_trap();
  }

  // Each decoder alone on the same bytes.
  if (DecodeBase64(input).size() > size / 4 * 3 + 2) __builtin_trap();
  if (DecodeQuotedPrintable(input).size() > size) __builtin_trap();
  if (HtmlToText(input, true).size() > size) __builtin_trap();
  if (HtmlToText(input, false).size() > size) __builtin_trap();
  DecodeHeaderText(input.substr(0, 4096));
  return 0;
}
