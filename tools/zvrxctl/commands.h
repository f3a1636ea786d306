// zvrxctl commands. Each takes the arguments after its name and returns the
// exit status: 0 success, 1 a check found a failed login, 2 bad input.
#pragma once

#include <string>
#include <vector>

namespace zvrx::ctl {

using Args = std::vector<std::string>;

// Prints "zvrxctl: <message>" on standard error and returns 2.
int Fail(const std::string& message);

int RunInit(const Args& args);
int RunAccount(const Args& args);
int RunMode(const Args& args);
int RunLevel(const Args& args);
int RunOptions(const Args& args);
int RunStrictness(const Args& args);
int RunShow(const Args& args);
int RunLog(const Args& args);
int RunJudge(const Args& args);
int RunCheck(const Args& args);

}  // namespace zvrx::ctl
