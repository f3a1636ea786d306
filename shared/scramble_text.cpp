#include "shared/scramble_text.h"

#include <cstring>

#include "shared/scramble_keys.h"

namespace zvrx {

namespace {
// The key repeats every 32 positions.
constexpr size_t kScrambleCycle = 32;
}  // namespace

void ScrambleText(char (&field)[kAccountFieldSize]) {
  size_t length = strnlen(field, kAccountFieldSize);
  for (size_t i = 0; i < length; ++i) {
    uint8_t key = static_cast<uint8_t>(kPasswordScrambleByte + i % kScrambleCycle);
    field[i] = static_cast<char>(static_cast<uint8_t>(field[i]) ^ key);
  }
}

void ScramblePasswords(BasicSettings& basic) {
  for (auto& password : basic.passwords) {
    if (password[0] != '\0') ScrambleText(password);
  }
}

}  // namespace zvrx
