#include "shared/brand_table_format.h"

namespace zvrx {

namespace {

bool IsLowerAlnum(char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); }

}  // namespace

bool IsBrandDomainName(std::string_view domain) {
  if (domain.empty() || domain.size() > kMaxDomainLength) return false;
  size_t labels = 0;
  size_t start = 0;
  while (start <= domain.size()) {
    size_t end = domain.find('.', start);
    if (end == std::string_view::npos) end = domain.size();
    const std::string_view label = domain.substr(start, end - start);
    if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-') {
      return false;
    }
    for (char c : label) {
      if (!IsLowerAlnum(c) && c != '-') return false;
    }
    ++labels;
    start = end + 1;
  }
  return labels >= 2;
}

bool IsBrandKindName(std::string_view kind) {
  if (kind.empty() || kind.size() > 28 || kind.front() < '0' || kind.front() > '9') return false;
  for (char c : kind) {
    const bool upper = c >= 'A' && c <= 'Z';
    if (!IsLowerAlnum(c) && !upper && c != '_' && c != '-') return false;
  }
  return true;
}

}  // namespace zvrx
