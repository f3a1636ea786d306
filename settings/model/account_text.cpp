#include "settings/model/account_text.h"

#include <cstddef>
#include <utility>

namespace zvrx {

namespace {

constexpr unsigned char kLastAccountByte = 0x7E;  // the tilde

bool IsLeadByte(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

}  // namespace

bool ValidateAccountText(std::string& text) {
  std::string kept;
  kept.reserve(text.size());
  bool valid = true;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte <= kLastAccountByte) {
      kept.push_back(text[i]);
      continue;
    }
    valid = false;
    if (IsLeadByte(byte)) ++i;  // its trail byte goes with it
  }
  text = std::move(kept);
  return valid;
}

}  // namespace zvrx
