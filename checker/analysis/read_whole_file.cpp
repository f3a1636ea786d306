#include "checker/analysis/read_whole_file.h"

#include "platform/files.h"

namespace zvrx {

std::vector<char> ReadWholeFile(std::string_view path) {
  auto bytes = platform::ReadFileBytes(path);
  if (!bytes || bytes->empty()) return {};
  std::vector<char> buffer = std::move(*bytes);
  buffer.push_back('\0');
  return buffer;
}

}  // namespace zvrx
