#include "platform/ui/test_channels.h"

#include <cstdlib>
#include <initializer_list>

namespace zvrx::platform::ui {

void KeepTestChannelsFromChildren() {
  // Read once at start-up by this program; the children are started later.
  for (const char* name : {"ZVRX_UI_CONTROL", "ZVRX_UI_ANSWERS", "ZVRX_UI_GRAB_DIR"}) {
    unsetenv(name);
  }
}

}  // namespace zvrx::platform::ui
