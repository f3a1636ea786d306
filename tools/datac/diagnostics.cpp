#include "tools/datac/diagnostics.h"

namespace zvrx::datac {

void Diagnostics::Error(const std::string& file, int line, const std::string& reason) {
  if (line > 0) {
    errors.push_back(file + ":" + std::to_string(line) + ": " + reason);
  } else {
    errors.push_back(file + ": " + reason);
  }
}

}  // namespace zvrx::datac
