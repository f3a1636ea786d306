// A reusable iconv conversion between two character sets. Keep one per
// thread and direction (thread_local): an iconv_t carries state and must not
// be shared, and opening one per call costs more than the conversion.
#pragma once

#include <iconv.h>

#include <cstddef>
#include <string>

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
  bool Run(const char** in, size_t* in_left, std::string& out, int* error);

 private:
  iconv_t cd_;
};

}  // namespace zvrx::platform
