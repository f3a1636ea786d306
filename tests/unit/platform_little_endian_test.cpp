// Header fields are stored least significant byte first, on any host, and
// touch only their own bytes.
#include "platform/little_endian.h"

#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

namespace zvrx {
namespace {

TEST(LittleEndian, ReadsTheLowByteFirst) {
  const std::vector<uint8_t> bytes = {0xAA, 0x78, 0x56, 0x34, 0x12, 0xFF, 0x80};
  EXPECT_EQ(platform::ReadLe32(bytes, 1), 0x12345678u);
  EXPECT_EQ(platform::ReadLe16(bytes, 1), 0x5678u);
  // High bits set: no sign spreads into the value.
  EXPECT_EQ(platform::ReadLe16(bytes, 5), 0x80FFu);
  EXPECT_EQ(platform::ReadLe32(bytes, 3), 0x80FF1234u);
}

TEST(LittleEndian, WritesOnlyTheFieldsBytes) {
  std::vector<uint8_t> bytes(8, 0xEE);
  platform::WriteLe32(bytes, 1, 0x80FF1234u);
  platform::WriteLe16(bytes, 5, 0xBEEF);
  EXPECT_EQ(bytes, (std::vector<uint8_t>{0xEE, 0x34, 0x12, 0xFF, 0x80, 0xEF, 0xBE, 0xEE}));
  EXPECT_EQ(platform::ReadLe32(bytes, 1), 0x80FF1234u);
  EXPECT_EQ(platform::ReadLe16(bytes, 5), 0xBEEFu);
}

}  // namespace
}  // namespace zvrx
