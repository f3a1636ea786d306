#include "settings/model/address_reader.h"

#include <cstring>

#include "platform/cp932.h"

namespace zvrx {

bool IsAddressByte(unsigned char byte) {
  // Below 0x20 also keeps NUL away from strchr, which would find the terminator.
  if (byte < 0x20) return false;
  return std::strchr(" \"'()+,:;<=>[]{}", byte) == nullptr;
}

namespace {

// A lead byte ends an address too.
bool EndsAddress(unsigned char byte) {
  return !IsAddressByte(byte) || platform::IsCp932LeadByte(byte);
}

}  // namespace

bool AddressReader::Next(std::string_view& address) {
  while (search_point_ < text_.size()) {
    const size_t at = text_.find('@', search_point_);
    if (at == std::string_view::npos) break;
    if (at > 0 && static_cast<unsigned char>(text_[at - 1]) == 0x81) {
      search_point_ = at + 1;
      continue;
    }
    size_t start = at;
    while (start > 0 && !EndsAddress(static_cast<unsigned char>(text_[start - 1]))) --start;
    size_t end = at + 1;
    while (end < text_.size() && !EndsAddress(static_cast<unsigned char>(text_[end]))) ++end;
    // The byte that ended the address is looked at again by the next search.
    search_point_ = end;
    const size_t length = end - start;
    if (length >= kAddressMinBytes && length <= kAddressMaxBytes) {
      address = text_.substr(start, length);
      return true;
    }
  }
  search_point_ = text_.size();
  return false;
}

}  // namespace zvrx
