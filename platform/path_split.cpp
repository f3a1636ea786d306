#include "platform/path_split.h"

namespace zvrx::platform {

size_t FindLastSeparator(std::string_view path) {
  size_t last = std::string_view::npos;
  for (size_t i = 0; i < path.size(); ++i) {
    auto c = static_cast<unsigned char>(path[i]);
    if (IsCp932LeadByte(c) && i + 1 < path.size()) {
      ++i;  // the trail byte may be 0x5C: not a separator
    } else if (IsPathSeparator(path[i])) {
      last = i;
    }
  }
  return last;
}

std::vector<std::string_view> SplitPath(std::string_view path) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i < path.size()) {
      auto c = static_cast<unsigned char>(path[i]);
      if (IsCp932LeadByte(c) && i + 1 < path.size()) {
        ++i;
        continue;
      }
      if (!IsPathSeparator(path[i])) continue;
    }
    if (i > start) parts.push_back(path.substr(start, i - start));
    start = i + 1;
  }
  return parts;
}

}  // namespace zvrx::platform
