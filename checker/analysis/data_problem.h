// A delivered data file that was refused on loading or is missing, kept so
// that the programs can tell the user instead of working on bad data.
#pragma once

#include <string>
#include <vector>

namespace zvrx {

struct DataProblem {
  // The name in the data folder ("kZVj-128"), or "Method\<name>" for a
  // dictionary and its companion file.
  std::string file;
  std::string reason;  // "missing", "damaged (...)"
};

// One line for people: "kZVj-128 damaged (...)".
inline std::string DescribeDataProblem(const DataProblem& problem) {
  return problem.file + " " + problem.reason;
}

// "missing" when nothing of that name is there, else "damaged (a folder)"
// or "damaged (unreadable)": why a delivered file could not be read.
std::string UnreadableReason(const std::string& windows_path);

}  // namespace zvrx
