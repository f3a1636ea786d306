// Commands that later work fills in; each moves to its own file then.
#include "tools/zvrxctl/commands.h"

namespace zvrx::ctl {}  // namespace zvrx::ctl
