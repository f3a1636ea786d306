// Taking mail addresses out of any text file for the list pages: every "@"
// with the address bytes around it, by byte rules alone (no mail syntax).
#pragma once

#include <cstddef>
#include <string_view>

namespace zvrx {

// Addresses outside this length are passed over.
inline constexpr size_t kAddressMinBytes = 3;
inline constexpr size_t kAddressMaxBytes = 254;

// A byte that may stand in an address: 0x20 and above, except blank and the
// punctuation that encloses or separates addresses in headers and lists.
bool IsAddressByte(unsigned char byte);

// Walks the addresses of a text in order.
class AddressReader {
 public:
  explicit AddressReader(std::string_view text) : text_(text) {}
  // The next address of kAddressMinBytes..kAddressMaxBytes bytes; false when
  // no "@" is left. An "@" right after 0x81 is the trail byte of a
  // double-byte character (the full-width space 0x81 0x40) and is skipped.
  bool Next(std::string_view& address);

 private:
  std::string_view text_;
  size_t search_point_ = 0;
};

}  // namespace zvrx
