// Dialogs of a worker thread run on the main thread while the worker waits,
// and a worker is never left waiting for a loop that has ended: not when the
// loop quits under an open dialog, not when it asks afterwards.
#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "checker/app/report_dialog.h"
#include "platform/ui/application.h"
#include "platform/ui/transcript.h"
#include "platform/ui/window.h"
#include "tests/gui/gui_application.h"

namespace zvrx {
namespace {

namespace ui = platform::ui;

TEST(MainThreadTest, WorkerTaskRunsOnTheMainThreadAndWaits) {
  ui::Application& app = test::GuiApplication();
  std::atomic<bool> on_main{false};
  bool returned = false;
  std::thread worker([&] {
    returned = ui::RunOnMainThread([&] { on_main = ui::IsMainThread(); });
    ui::PostQuit(7);
  });
  EXPECT_EQ(app.Run(), 7);
  worker.join();
  EXPECT_TRUE(returned);
  EXPECT_TRUE(on_main);
}

TEST(MainThreadTest, QuitWhileTheWorkersDialogIsOpenReleasesTheWorker) {
  ui::Application& app = test::GuiApplication();
  std::vector<ui::DialogTemplate> templates;
  ASSERT_TRUE(ui::LoadDialogTemplates(ZVRX_SOURCE_DIR "/resources/checker/report_dialog.dlg",
                                      templates, nullptr));
  std::atomic<bool> shown{false};
  // As SIGTERM does while the report waits for OK.
  ui::SetModalObserver([&](ui::Dialog&) {
    shown = true;
    ui::PostQuit(0);
  });
  std::thread worker([&] {
    ui::RunOnMainThread([&] { RunReportDialog(templates, "1\n"); });
  });
  EXPECT_EQ(app.Run(), 0);
  worker.join();
  ui::SetModalObserver(nullptr);
  EXPECT_TRUE(shown);

  // After the loop has ended a worker's dialog is given up at once.
  bool ran = false;
  std::thread late([&] { EXPECT_FALSE(ui::RunOnMainThread([&] { ran = true; })); });
  late.join();
  EXPECT_FALSE(ran);
}

}  // namespace
}  // namespace zvrx
