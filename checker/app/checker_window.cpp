#include "checker/app/checker_window.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "checker/core/configuration.h"
#include "platform/process.h"
#include "platform/ui/application.h"
#include "shared/transfer_checker.h"

namespace zvrx {

namespace ui = platform::ui;

CheckerWindow::CheckerWindow(CheckerState& state, ShutdownClock& clock)
    : state_(state), clock_(clock) {}

CheckerWindow::~CheckerWindow() = default;

void CheckerWindow::Create() {
  // Without a taskbar the window would be shown minimised; hidden either way.
  window_ = std::make_unique<ui::MainWindow>(kCheckerTitle, !ui::TaskbarPresent(),
                                             [this] { Close(); });
  icon_.Add(kIconImage, kIconTip, [this] { OnIconDoubleClick(ui::CtrlHeld()); });

  if (!CreateBlock(state_.transfer)) {
    FatalError(state_, kFatalNoMemory);
    return;  // no worker for a checker that is ending
  }
  if (worker_started_) return;
  worker_started_ = pthread_create(&worker_, nullptr, WorkerEntry, this) == 0;
  if (!worker_started_) Close();
}

void* CheckerWindow::WorkerEntry(void* self) {
  auto* window = static_cast<CheckerWindow*>(self);
  WorkerMain(window->state_);
  {
    std::lock_guard lock(window->worker_mutex_);
    window->worker_done_ = true;
  }
  window->worker_changed_.notify_all();
  return nullptr;
}

void CheckerWindow::OnIconDoubleClick(bool ctrl_held) {
  if (ctrl_held) {
    Close();
    return;
  }
  // Each time, also when the settings program is open: it refuses a second start itself.
  platform::StartProgram(state_.install_root + kSettingsProgram);
}

void CheckerWindow::Close() {
  // The icon goes on every way out, not only with the window.
  icon_.Remove();
  state_.stop = true;
  clock_.Interrupt();
  ui::PostQuit(0);
}

bool CheckerWindow::WaitForWorker(int milliseconds) {
  std::unique_lock lock(worker_mutex_);
  return worker_changed_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                  [this] { return worker_done_; });
}

int CheckerWindow::Finish(int loop_code) {
  icon_.Remove();
  state_.stop = true;
  clock_.Interrupt();
  const int code = state_.fatal_error != 0 ? kExitAfterFatalError : loop_code;
  if (worker_started_) {
    if (!WaitForWorker(kWorkerGraceMs)) {
      // Every block operation holds the lock, so the worker cannot be
      // inside the block while it is removed.
      std::lock_guard lock(state_.transfer.status_lock);
      state_.transfer.block.reset();
      std::fflush(nullptr);
      std::_Exit(code);
    }
    pthread_join(worker_, nullptr);
    worker_started_ = false;
  }
  std::lock_guard lock(state_.transfer.status_lock);
  state_.transfer.block.reset();
  return code;
}

}  // namespace zvrx
