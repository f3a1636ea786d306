// The program's message loop on the main thread, and the ways other threads
// and the system reach it: a quit request, a task run on the main thread
// while the caller waits, and SIGTERM/SIGINT taken as a close of the main
// window.
#pragma once

#include <functional>

namespace zvrx::platform::ui {

class Application {
 public:
  // Creates the process's one application object; on the main thread, before
  // any other call of the window layer.
  Application(int& argc, char** argv);
  ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // Runs the message loop until PostQuit; returns the code it carried. When
  // it returns, tasks still waiting for the main thread are given up.
  int Run();
};

// Ends the message loop with `code` (PostQuitMessage); safe from any thread,
// also before Run has started.
void PostQuit(int code);

// Runs `task` on the main thread and returns when it has run. On the main
// thread it runs at once. False when it did not run because the message
// loop had ended (or there is no application): dialogs of a worker thread
// must not wait for a loop that is gone.
bool RunOnMainThread(const std::function<void()>& task);

bool IsMainThread();

// Calls `on_close` on the main thread for every SIGTERM or SIGINT, so that
// they end the program the way a close of its main window does.
void OnTerminationSignal(std::function<void()> on_close);

}  // namespace zvrx::platform::ui
