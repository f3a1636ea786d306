#include "shared/transfer_block.h"

namespace zvrx {

void CopyToBlock(volatile uint8_t* block, size_t offset, const void* source, size_t size) {
  const uint8_t* from = static_cast<const uint8_t*>(source);
  for (size_t i = 0; i < size; ++i) block[offset + i] = from[i];
}

void CopyFromBlock(const volatile uint8_t* block, size_t offset, void* target, size_t size) {
  uint8_t* to = static_cast<uint8_t*>(target);
  for (size_t i = 0; i < size; ++i) to[i] = block[offset + i];
}

}  // namespace zvrx
