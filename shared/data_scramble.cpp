#include "shared/data_scramble.h"

#include <cstdint>

#include "shared/scramble_keys.h"

namespace zvrx {

void DataScramble(void* bytes, size_t size) {
  auto* p = static_cast<uint8_t*>(bytes);
  for (size_t i = 0; i < size; ++i) {
    p[i] ^= static_cast<uint8_t>(kDataScrambleBase + i);  // wraps mod 256
  }
}

}  // namespace zvrx
