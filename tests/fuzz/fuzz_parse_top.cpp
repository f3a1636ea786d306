// ParseTop with today's mail decoding on, over arbitrary received text in a
// buffer that ends right after the text's NUL: the decoded body is written
// where the top was, so every write must stay inside it.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "checker/analysis/european_charsets.h"
#include "checker/analysis/parse_top.h"
#include "checker/core/pop3_client.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > static_cast<size_t>(zvrx::kBodyTextSize)) size = zvrx::kBodyTextSize;
  std::unique_ptr<char[]> buffer(new char[size + 1]);
  std::memcpy(buffer.get(), data, size);
  buffer[size] = '\0';

  // A text ending in LF is counted as TOP counts it: up to its last CR.
  int16_t text_length = static_cast<int16_t>(size);
  if (size > 0 && data[size - 1] == '\n') --text_length;

  zvrx::EuropeanCharsetList european;
  std::strcpy(european.text, "ISO-8859-1\r\n");
  european.length = 12;
  zvrx::MailRecord record;
  std::memset(&record, 'x', sizeof record);
  zvrx::ShiftJisConverter converter;
  zvrx::ParseTop(buffer.get(), text_length, record, converter, true, european);

  // The shared length never grows past the text, the body ends in its NUL
  // when decoded, and the fields stay terminated.
  if (text_length < 0 || static_cast<size_t>(text_length) > size) __builtin_trap();
  if (record.read_as != zvrx::kReadWritten && buffer[text_length] != '\0') __builtin_trap();
  if (record.read_as < zvrx::kReadWritten || record.read_as > zvrx::kReadDecodedEnglish) {
    __builtin_trap();
  }
  for (const char* field : {record.subject, record.from, record.date, record.message_id,
                            record.content_type, record.charset}) {
    if (std::memchr(field, 0, zvrx::kMailFieldSize) == nullptr) __builtin_trap();
  }
  return 0;
}
