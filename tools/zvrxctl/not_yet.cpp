// Commands that later work fills in; each moves to its own file then.
#include "tools/zvrxctl/commands.h"

namespace zvrx::ctl {

int RunJudge(const Args&) { return Fail("judge: not available yet"); }
int RunCheck(const Args&) { return Fail("check: not available yet"); }

}  // namespace zvrx::ctl
