#include "tests/gui/gui_application.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace zvrx::test {

platform::ui::Application& GuiApplication() {
  static platform::ui::Application* application = [] {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static std::string runtime =
        (std::filesystem::temp_directory_path() / ("zvrx-gui-" + std::to_string(getpid())))
            .string();
    mkdir(runtime.c_str(), 0700);
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(runtime, ec);
    });
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    static int argc = 1;
    static char name[] = "zvrx_gui_tests";
    static char* argv[] = {name, nullptr};
    return new platform::ui::Application(argc, argv);
  }();
  return *application;
}

}  // namespace zvrx::test
