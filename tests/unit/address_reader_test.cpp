// Addresses taken out of arbitrary text by byte rules: what ends an address,
// which "@" counts, and the length window.
#include "settings/model/address_reader.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace zvrx {
namespace {

std::vector<std::string> ReadAll(std::string_view text) {
  std::vector<std::string> found;
  AddressReader reader(text);
  std::string_view address;
  while (reader.Next(address)) found.emplace_back(address);
  return found;
}

struct ReaderCase {
  const char* why;
  std::string text;
  std::vector<std::string> addresses;
};

TEST(AddressReader, TakesAddressesByByteRules) {
  const std::string long_local(249, 'a');
  const ReaderCase cases[] = {
      {"angle brackets and a comma are not part of an address",
       "To: Taro <taro@example.jp>, hanako@example.com, x",
       {"taro@example.jp", "hanako@example.com"}},
      {"a full stop right after an address is an address byte",
       "write to jiro@example.jp. thanks", {"jiro@example.jp."}},
      {"the full-width space 0x81 0x40 is no at sign", "a\x81\x40" "b \x81\x40\x81\x40", {}},
      {"an at sign after 0x81 is skipped, the next one counts",
       "x\x81@y.jp z@w.jp", {"z@w.jp"}},
      {"a lead byte ends the address on either side",
       "\x93\xfa\x96\x7b" "abc@d.jp\x82\xa0", {"abc@d.jp"}},
      {"half-width katakana (not lead bytes) stay in the address", "\xb1\xb2@x.jp",
       {"\xb1\xb2@x.jp"}},
      {"quotes, parentheses, colon, semicolon, equals, brackets and braces end it",
       "\"a@b\"(c@d):e@f;g@h=i@j[k@l]{m@n}+o@p'q@r'", {"a@b", "c@d", "e@f", "g@h", "i@j", "k@l",
                                                      "m@n", "o@p", "q@r"}},
      {"control bytes end it", "a@b\tc@d\r\ne@f", {"a@b", "c@d", "e@f"}},
      {"two bytes are too short, three are enough", "@a b@ x@y", {"x@y"}},
      {"an at sign at the start of the text", "@ab", {"@ab"}},
      {"254 bytes are taken, 255 are not",
       long_local + "@a.jp " + long_local + "@ab.jp",
       {long_local + "@a.jp"}},
      {"every at sign inside one run makes one address", "a@b@c d", {"a@b@c"}},
      {"no at sign, nothing", "plain text without addresses", {}},
  };
  for (const ReaderCase& c : cases) {
    EXPECT_EQ(ReadAll(c.text), c.addresses) << c.why;
  }
}

TEST(AddressReader, NulIsNotAnAddressByteAndTheTextGoesOnAfterIt) {
  const std::string text("a@b.jp\0c@d.jp", 13);
  EXPECT_EQ(ReadAll(text), (std::vector<std::string>{"a@b.jp", "c@d.jp"}));
}

}  // namespace
}  // namespace zvrx
