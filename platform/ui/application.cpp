#include "platform/ui/application.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QMetaObject>
#include <QSocketNotifier>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <cstdio>
#include <cstdlib>

#include "platform/ui/control_channel.h"
#include "platform/ui/test_hooks.h"

namespace zvrx::platform::ui {

namespace {

// What waiting threads and the loop share; process-wide like the message
// queue it stands for.
struct LoopState {
  std::mutex mutex;
  std::condition_variable changed;
  bool ended = false;
  std::thread::id main_thread;
  QApplication* app = nullptr;
};

LoopState& Loop() {
  static LoopState state;
  return state;
}

int signal_pipe[2] = {-1, -1};

void OnSignal(int signal_number) {
  const int saved = errno;
  unsigned char byte = static_cast<unsigned char>(signal_number);
  ssize_t written = write(signal_pipe[1], &byte, 1);
  (void)written;  // a full pipe already holds a close request
  errno = saved;
}

}  // namespace

Application::Application(int& argc, char** argv) {
  LoopState& loop = Loop();
  loop.main_thread = std::this_thread::get_id();
  loop.app = new QApplication(argc, argv);
  // The program lives without windows; closing a dialog must not end it.
  QApplication::setQuitOnLastWindowClosed(false);
  ReadTestHooks();
  // Tests and tools drive the windows through this socket when asked to.
  const std::string& control = CurrentTestHooks().control_socket;
  if (!control.empty() && !StartControlChannel(control)) {
    std::fprintf(stderr, "cannot listen at %s\n", control.c_str());
  }
}

Application::~Application() {
  LoopState& loop = Loop();
  {
    std::lock_guard lock(loop.mutex);
    loop.ended = true;
  }
  loop.changed.notify_all();
  delete loop.app;
  loop.app = nullptr;
}

int Application::Run() {
  LoopState& loop = Loop();
  {
    std::lock_guard lock(loop.mutex);
    loop.ended = false;
  }
  int code = QApplication::exec();
  {
    std::lock_guard lock(loop.mutex);
    loop.ended = true;
  }
  loop.changed.notify_all();
  return code;
}

void PostQuit(int code) {
  QApplication* app = Loop().app;
  if (app == nullptr) return;
  // Queued, so that a request made before the loop runs is not lost.
  QMetaObject::invokeMethod(app, [code] { QCoreApplication::exit(code); }, Qt::QueuedConnection);
}

bool IsMainThread() { return std::this_thread::get_id() == Loop().main_thread; }

bool RunOnMainThread(const std::function<void()>& task) {
  LoopState& loop = Loop();
  if (IsMainThread()) {
    task();
    return true;
  }
  // 0 waiting, 1 ran, 2 given up by the caller.
  auto outcome = std::make_shared<int>(0);
  {
    std::lock_guard lock(loop.mutex);
    if (loop.ended || loop.app == nullptr) return false;
    QMetaObject::invokeMethod(
        loop.app,
        [outcome, &task] {
          LoopState& state = Loop();
          {
            std::lock_guard inner(state.mutex);
            if (*outcome != 0) return;  // the caller has gone; `task` is dangling
          }
          task();
          {
            std::lock_guard inner(state.mutex);
            *outcome = 1;
          }
          state.changed.notify_all();
        },
        Qt::QueuedConnection);
  }
  std::unique_lock lock(loop.mutex);
  loop.changed.wait(lock, [&] { return *outcome != 0 || loop.ended; });
  if (*outcome == 0) *outcome = 2;
  return *outcome == 1;
}

void OnTerminationSignal(std::function<void()> on_close) {
  if (signal_pipe[0] < 0 && pipe2(signal_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  auto* notifier = new QSocketNotifier(signal_pipe[0], QSocketNotifier::Read, Loop().app);
  QObject::connect(notifier, &QSocketNotifier::activated, [on_close = std::move(on_close)] {
    unsigned char bytes[16];
    while (read(signal_pipe[0], bytes, sizeof bytes) > 0) {
    }
    on_close();
  });
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

}  // namespace zvrx::platform::ui
