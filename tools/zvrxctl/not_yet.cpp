// Commands that later work fills in; each moves to its own file then.
#include "tools/zvrxctl/commands.h"

namespace zvrx::ctl {

int RunCheck(const Args&) { return Fail("check: not available yet"); }

}  // namespace zvrx::ctl
