#include "settings/model/account_text.h"

#include <cstddef>
#include <utility>

#include "platform/cp932.h"

namespace zvrx {

namespace {

constexpr unsigned char kLastAccountByte = 0x7E;  // the tilde

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
    if (platform::IsCp932LeadByte(byte)) ++i;  // its trail byte goes with it
  }
  text = std::move(kept);
  return valid;
}

}  // namespace zvrx
