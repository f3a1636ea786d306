// Compiles the whole source tree (data/) into the delivered files of the
// distribution folder:
//   method/<name>.dic           -> Method/<name> (+ Method/w<name>)
//   subject_ja.txt, subject_en.txt -> Zvrx Staffs/ZVRd-128, ZVRd-129
//   thresholds.txt              -> Zvrx Staffs/kZVj-128
//   anon_from.txt, anon_msgid.txt -> Zvrx Staffs/ZVRk-128, ZVRk-129
//   european/ISO5NN.txt         -> Zvrx Staffs/ISO501 .. ISO515
//   brands.txt (when present)   -> Zvrx Staffs/ZVRXBrand.txt
#pragma once

#include <string>
#include <vector>

#include "tools/datac/diagnostics.h"

namespace zvrx::datac {

struct OutputFile {
  std::string folder;  // "Method" or "Zvrx Staffs"
  std::string name;
  std::string bytes;
};

inline constexpr char kMethodOutFolder[] = "Method";
inline constexpr char kStaffsOutFolder[] = "Zvrx Staffs";

// Every output, or an empty list with the reasons in `diag`.
std::vector<OutputFile> CompileTree(const std::string& source_dir, Diagnostics& diag);

// Writes the outputs below `out_dir`, each file replaced whole, and removes
// Method folder files that no source produces any more (a stale dictionary
// would otherwise be installed and loaded). False after reporting a failure.
bool WriteOutputs(const std::string& out_dir, const std::vector<OutputFile>& outputs,
                  Diagnostics& diag);

}  // namespace zvrx::datac
