#include "platform/text_converter.h"

#include <cerrno>

namespace zvrx::platform {

TextConverter::TextConverter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}

TextConverter::~TextConverter() {
  if (ok()) iconv_close(cd_);
}

bool TextConverter::Run(const char** in, size_t* in_left, std::string& out, int* error,
                        size_t* approximated) {
  iconv(cd_, nullptr, nullptr, nullptr, nullptr);
  char chunk[2048];
  while (*in_left > 0) {
    char* out_ptr = chunk;
    size_t out_left = sizeof(chunk);
    size_t done = iconv(cd_, const_cast<char**>(in), in_left, &out_ptr, &out_left);
    out.append(chunk, static_cast<size_t>(out_ptr - chunk));
    if (done != static_cast<size_t>(-1)) {
      if (approximated != nullptr) *approximated += done;
      continue;
    }
    if (errno == E2BIG) continue;
    *error = errno;
    return false;
  }
  return true;
}

std::optional<std::string> TextConverter::ConvertExactly(std::string_view text, size_t* bad_at) {
  std::string out;
  const char* in = text.data();
  size_t left = text.size();
  int error = 0;
  size_t approximated = 0;
  if (!ok()) {
    if (bad_at != nullptr) *bad_at = 0;
    return std::nullopt;
  }
  if (!Run(&in, &left, out, &error, &approximated)) {
    if (bad_at != nullptr) *bad_at = static_cast<size_t>(in - text.data());
    return std::nullopt;
  }
  if (approximated != 0) {
    if (bad_at != nullptr) *bad_at = text.size();
    return std::nullopt;
  }
  return out;
}

std::optional<size_t> InvalidUtf8At(std::string_view text) {
  // glibc's UTF-8 decoder refuses every ill-formed sequence; converting is
  // the check.
  thread_local TextConverter decoder("UTF-32LE", "UTF-8");
  size_t bad_at = 0;
  if (decoder.ConvertExactly(text, &bad_at)) return std::nullopt;
  return bad_at;
}

}  // namespace zvrx::platform
