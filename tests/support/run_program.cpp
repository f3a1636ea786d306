#include "tests/support/run_program.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include "tests/support/temp_prefix.h"

extern char** environ;

namespace zvrx::test {

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::string& scratch_folder, const std::string& working_folder) {
  std::vector<std::string> words = args;
  words.insert(words.begin(), program);
  std::vector<char*> argv;
  for (auto& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  const std::string out_file = scratch_folder + "/run.out";
  const std::string err_file = scratch_folder + "/run.err";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!working_folder.empty()) {
    posix_spawn_file_actions_addchdir_np(&actions, working_folder.c_str());
  }
  posix_spawn_file_actions_addopen(&actions, 1, out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  posix_spawn_file_actions_addopen(&actions, 2, err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  ProgramRun run;
  pid_t pid = -1;
  if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  posix_spawn_file_actions_destroy(&actions);
  run.out = ReadHostFile(out_file);
  run.err = ReadHostFile(err_file);
  return run;
}

ProgramRun RunZvrxctl(const std::string& prefix, std::vector<std::string> args,
                      const std::string& working_folder) {
  args.insert(args.begin(), {"--prefix", prefix});
  return RunProgram(ZVRX_BINARY_DIR "/tools/zvrxctl", args, prefix, working_folder);
}

}  // namespace zvrx::test
