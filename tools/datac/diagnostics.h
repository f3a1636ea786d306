// Error messages of the data compiler, each "FILE:LINE: reason", so that an
// editor can jump to the offending source line.
#pragma once

#include <string>
#include <vector>

namespace zvrx::datac {

struct Diagnostics {
  std::vector<std::string> errors;

  // line 0 means the file as a whole.
  void Error(const std::string& file, int line, const std::string& reason);
  bool ok() const { return errors.empty(); }
};

}  // namespace zvrx::datac
