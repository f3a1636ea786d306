// The CheckerWindow: the hidden main window that owns the notification icon,
// creates the transfer block, starts the worker thread, and ends the
// checker in order however it is asked to end.
#pragma once

#include <pthread.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

#include "checker/app/shutdown_clock.h"
#include "checker/core/checker_state.h"
#include "platform/ui/main_window.h"
#include "platform/ui/notify_icon.h"

namespace zvrx {

inline constexpr char kCheckerClass[] = "MailZevrox_Class";
inline constexpr char kCheckerTitle[] = "Mail Zevrox";
inline constexpr char kIconTip[] = "Mail Zevrox";
inline constexpr char kIconImage[] = ":/checker/icon_106.png";
// The settings program, started from the install root without extension.
inline constexpr char kSettingsProgram[] = "MailZevrox";
// How long the end waits for the worker to leave a network wait.
inline constexpr int kWorkerGraceMs = 5000;
inline constexpr int kExitAfterFatalError = 1;

class CheckerWindow {
 public:
  CheckerWindow(CheckerState& state, ShutdownClock& clock);
  ~CheckerWindow();
  CheckerWindow(const CheckerWindow&) = delete;
  CheckerWindow& operator=(const CheckerWindow&) = delete;

  // The window and WM_CREATE: the icon, the block and the worker.
  void Create();

  // A double-click on the icon: with Ctrl the checker ends, without it the
  // settings program starts.
  void OnIconDoubleClick(bool ctrl_held);

  // WM_CLOSE, and Ctrl + double-click (ShutdownChecker): the message loop
  // ends; Finish does the rest.
  void Close();

  // After the message loop: removes the icon, stops the worker, removes the
  // block. Returns the program's exit code. A worker caught in a network
  // wait is not waited for: the block is taken away from it under the
  // StatusLock and the process ends here.
  int Finish(int loop_code);

  bool worker_started() const { return worker_started_; }

 private:
  static void* WorkerEntry(void* self);
  bool WaitForWorker(int milliseconds);

  CheckerState& state_;
  ShutdownClock& clock_;
  std::unique_ptr<platform::ui::MainWindow> window_;
  platform::ui::NotifyIcon icon_;
  bool worker_started_ = false;
  pthread_t worker_{};
  std::mutex worker_mutex_;
  std::condition_variable worker_changed_;
  bool worker_done_ = false;
};

}  // namespace zvrx
