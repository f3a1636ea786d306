// A reusable iconv conversion between two character sets. Keep one per
// thread and direction (thread_local): an iconv_t carries state and must not
// be shared, and opening one per call costs more than the conversion.
#pragma once

#include <iconv.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace zvrx::platform {

class TextConverter {
 public:
  TextConverter(const char* to, const char* from);
  ~TextConverter();
  TextConverter(const TextConverter&) = delete;
  TextConverter& operator=(const TextConverter&) = delete;

  // False when the host cannot convert between the two sets.
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts from a fresh shift state as much as possible, appending to
  // `out`. Returns false at a sequence it cannot convert (EILSEQ) or that the
  // end cuts off (EINVAL), with *error set and *in, *in_left pointing at it.
  // iconv's count of characters it could only approximate is added to
  // *approximated when given.
  bool Run(const char** in, size_t* in_left, std::string& out, int* error,
           size_t* approximated = nullptr);

  // All of `text` converted exactly, or none: at a sequence that cannot be
  // converted or that the end cuts off (*bad_at: its offset), or when a
  // character could only be approximated (*bad_at: the size of `text`).
  std::optional<std::string> ConvertExactly(std::string_view text, size_t* bad_at = nullptr);

 private:
  iconv_t cd_;
};

// The offset of the first sequence in `text` that is not UTF-8 (overlong
// forms, surrogates, beyond U+10FFFF, cut off by the end); none when all of
// it is. Safe from any thread.
std::optional<size_t> InvalidUtf8At(std::string_view text);

}  // namespace zvrx::platform
