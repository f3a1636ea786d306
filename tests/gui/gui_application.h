// The one application object of the offscreen tests, made on first use so
// that listing the tests needs no display.
#pragma once

#include "platform/ui/application.h"

namespace zvrx::test {

// Offscreen, with a private runtime folder; made once, kept for the process.
platform::ui::Application& GuiApplication();

}  // namespace zvrx::test
