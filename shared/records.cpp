#include "shared/records.h"

namespace zvrx {

uint16_t DeriveLaunchFlags(uint16_t option_bits) {
  uint16_t flags = 0;
  if (option_bits & kOptAutoStartMailer) flags |= 1u << 0;
  if (option_bits & kOptManualStartMailer) flags |= 1u << 1;
  return flags;
}

uint16_t AccountMaskOnClose(const BasicSettings& basic) {
  uint16_t mask = 0;
  for (int n = 0; n < kAccountCount; ++n) {
    if (basic.accounts[n][0] != '\0') mask |= static_cast<uint16_t>(1u << n);
  }
  return mask;
}

uint16_t AccountMaskForCheck(const BasicSettings& basic) {
  uint16_t mask = basic.account_mask;
  for (int n = 0; n < kAccountCount; ++n) {
    uint16_t bit = static_cast<uint16_t>(1u << n);
    if (basic.accounts[n][0] == '\0') {
      mask &= static_cast<uint16_t>(~bit);
    } else if (basic.passwords[n][0] != '\0') {
      mask |= bit;
    }
  }
  return mask;
}

}  // namespace zvrx
