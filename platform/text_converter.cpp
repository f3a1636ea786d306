#include "platform/text_converter.h"

#include <cerrno>

namespace zvrx::platform {

TextConverter::TextConverter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}

TextConverter::~TextConverter() {
  if (ok()) iconv_close(cd_);
}

bool TextConverter::Run(const char** in, size_t* in_left, std::string& out, int* error) {
  iconv(cd_, nullptr, nullptr, nullptr, nullptr);
  char chunk[2048];
  while (*in_left > 0) {
    char* out_ptr = chunk;
    size_t out_left = sizeof(chunk);
    size_t done = iconv(cd_, const_cast<char**>(in), in_left, &out_ptr, &out_left);
    out.append(chunk, static_cast<size_t>(out_ptr - chunk));
    if (done != static_cast<size_t>(-1)) continue;
    if (errno == E2BIG) continue;
    *error = errno;
    return false;
  }
  return true;
}

}  // namespace zvrx::platform
