// The guard for quoted warnings on arbitrary bytes: the fraud words and the
// blanking of quotations read exactly `size` bytes (no NUL behind them),
// keep the length, and change nothing but bytes inside a quotation into
// blanks. The blanked text is searched for the words as well.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "checker/analysis/quoted_warning.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 20) return 0;
  // A copy of exactly `size` bytes, so a read past the end is caught.
  std::unique_ptr<char[]> text(new char[size == 0 ? 1 : size]);
  if (size > 0) std::memcpy(text.get(), data, size);
  const int32_t length = static_cast<int32_t>(size);
  zvrx::HasFraudWarningWords(text.get(), length);
  const std::string blanked = zvrx::BlankQuotations(text.get(), length);
  if (blanked.size() != size) __builtin_trap();
  for (size_t i = 0; i < size; ++i) {
    if (blanked[i] != text[i] && blanked[i] != ' ') __builtin_trap();
  }
  zvrx::HasFraudWarningWords(blanked.data(), length);
  return 0;
}
