// Runs a program of the suite as a real process and collects what it wrote,
// for tests of whole commands.
#pragma once

#include <string>
#include <vector>

namespace zvrx::test {

struct ProgramRun {
  int status = -1;  // exit status, -1 when it did not start or was killed
  std::string out;
  std::string err;
};

// Runs `program` with `args`, its standard output and error captured in
// files under `scratch_folder`; `working_folder` (host path) when not empty.
ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::string& scratch_folder,
                      const std::string& working_folder = {});

// zvrxctl of this build, with --prefix set to `prefix`.
ProgramRun RunZvrxctl(const std::string& prefix, std::vector<std::string> args,
                      const std::string& working_folder = {});

}  // namespace zvrx::test
