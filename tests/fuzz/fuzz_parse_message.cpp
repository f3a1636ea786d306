// ParseMessage on arbitrary received text, in a buffer of the size the POP3
// client gives a TOP text. Every write must stay inside the text.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "checker/analysis/parse_message.h"
#include "checker/core/pop3_client.h"

namespace {
constexpr int kCapacity = zvrx::kBodyTextSize + zvrx::kReceiveBufferSize;  // 20,000 + carry
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > static_cast<size_t>(kCapacity - 1)) size = kCapacity - 1;
  std::unique_ptr<char[]> buffer(new char[kCapacity]);
  std::memcpy(buffer.get(), data, size);
  std::memset(buffer.get() + size, 0, kCapacity - size);

  // A text ending in LF is counted as TOP counts it: up to its last CR.
  int16_t text_length = static_cast<int16_t>(size);
  if (size > 0 && data[size - 1] == '\n') --text_length;

  zvrx::MailRecord record;
  zvrx::ShiftJisConverter converter;
  zvrx::ParseMessage(buffer.get(), text_length, record, converter);

  // The shared length never grows and the fields stay terminated.
  if (text_length < 0 || static_cast<size_t>(text_length) > size) __builtin_trap();
  for (const char* field : {record.subject, record.from, record.date, record.message_id,
                            record.content_type, record.charset}) {
    if (std::memchr(field, 0, zvrx::kMailFieldSize) == nullptr) __builtin_trap();
  }
  return 0;
}
