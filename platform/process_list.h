// The running programs of this machine (the process and module enumeration
// of Windows), and stopping one. Only processes of the same user whose
// program file lies under this prefix count: two prefixes on one host are
// two machines and never see each other's programs.
#pragma once

#include <string>
#include <vector>

namespace zvrx::platform {

struct RunningProgram {
  int pid = 0;
  // The upper-cased file name of its program, CP932 ("MAILZEVROX.EXE").
  std::string module_name;
};

// Every such process, in no particular order; never this process itself.
std::vector<RunningProgram> ProgramsOfThisMachine();

// Whether the process exists and has not ended (a zombie has ended).
bool ProcessRunning(int pid);

// Asks the process to end (SIGTERM); when it still runs after `grace_ms`,
// ends it (SIGKILL) and waits up to `grace_ms` again. True when it ended.
bool StopProcess(int pid, int grace_ms);

}  // namespace zvrx::platform
