// zvrx_datac SOURCE_DIR OUTPUT_DIR: compiles the readable data sources into
// the delivered binary files. Exit status: 0 written, 1 a source was refused
// (each reason on standard error as FILE:LINE: reason), 2 usage or a file
// that could not be written.
#include <cstdio>
#include <string>

#include "tools/datac/compile_tree.h"

namespace {

void PrintErrors(const zvrx::datac::Diagnostics& diag) {
  for (const auto& error : diag.errors) std::fprintf(stderr, "%s\n", error.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: zvrx_datac SOURCE_DIR OUTPUT_DIR\n");
    return 2;
  }
  zvrx::datac::Diagnostics diag;
  const auto outputs = zvrx::datac::CompileTree(argv[1], diag);
  if (!diag.ok()) {
    PrintErrors(diag);
    return 1;
  }
  if (!zvrx::datac::WriteOutputs(argv[2], outputs, diag)) {
    PrintErrors(diag);
    return 2;
  }
  return 0;
}
