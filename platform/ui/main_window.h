// A program's main window: here only the owner of the message loop's end.
// Closing it (WM_CLOSE) calls the program back instead of closing at once.
#pragma once

#include <functional>
#include <memory>
#include <string_view>

namespace zvrx::platform::ui {

class MainWindow {
 public:
  // Creates the window with a CP932 title. `minimised_visible` shows it
  // minimised first (the style chosen when there is no taskbar); it is
  // hidden at once either way.
  MainWindow(std::string_view title, bool minimised_visible, std::function<void()> on_close);
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // As if the system closed it: calls on_close.
  void Close();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zvrx::platform::ui
