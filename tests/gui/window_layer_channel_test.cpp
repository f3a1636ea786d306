// The control socket: a client thread clicks, types, reads and sends menu
// commands while the main thread runs its loop, also under a modal dialog
// that a click opened.
#include <QApplication>
#include <QTemporaryDir>
#include <atomic>
#include <thread>

#include "platform/ui/control_channel.h"
#include "platform/ui/window.h"
#include "tests/gui/window_layer_fixture.h"
#include "tests/support/ui_control.h"
#include "tests/support/wait_until.h"

namespace zvrx::test {
namespace {

constexpr char kModalText[] = R"rc(DIALOG 400 "確認" 0 0 120 60
FONT 9 "IPAGothic"
LTEXT 10 "行一" 5 5 100 8
DEFPUSHBUTTON 1 "はい" 10 40 40 14
END
)rc";

TEST_F(WindowLayerTest, ClientDrivesPagesFramesAndAModalDialogOverTheSocket) {
  QTemporaryDir dir;
  const std::string path = dir.path().toStdString() + "/ui.sock";
  ASSERT_TRUE(ui::StartControlChannel(path));
  ui::Dialog& page = OpenPage();
  std::vector<ui::DialogTemplate> modal;
  ASSERT_TRUE(ui::ParseDialogTemplates(kModalText, modal, nullptr));
  class Ender : public ui::DialogEvents {
    void OnCommand(ui::Dialog& dialog, int id, int) override {
      if (id == 1) dialog.EndDialog(1);
    }
  } modal_events;
  int modal_result = 0;
  events_.on_command = [&](ui::Dialog&, int id, int) {
    if (id == kButton) modal_result = ui::RunModal(modal[0], modal_events, ui::ModalOptions());
  };
  page.ComboAdd(kCombo, "a");
  page.ComboAdd(kCombo, "b");

  std::vector<std::string> replies;
  std::atomic<bool> done{false};
  std::thread client([&] {
    UiControl control;
    if (control.Connect(path, 5000)) {
      for (const char* request :
           {"frames", "type 300 15 山田\\t太郎", "text 300 15", "choose 300 22 1", "text 300 22",
            "enabled 300 29", "command TestFrame 40009", "click 300 13", "dialogs",
            "text 400 10", "click 400 1", "click 999 1", "text 300 77", "launch"}) {
        std::string reply = control.Request(request);
        // The click opens the modal dialog after its reply: wait for it.
        if (std::string(request) == "click 300 13" && reply == "ok") {
          test::WaitUntil(
              [&] { return control.Request("dialogs").find("400") != std::string::npos; }, 2000,
              10);
        }
        replies.push_back(reply);
      }
    }
    done = true;
  });
  while (!done) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
  client.join();
  QApplication::processEvents();

  EXPECT_EQ(replies, (std::vector<std::string>{
                         "ok TestFrame", "ok", "ok 山田\\t太郎", "ok", "ok b", "ok 0", "ok", "ok",
                         "ok 300 400", "ok 行一", "ok", "error no dialog 999",
                         "error no control 77", "error unknown request launch"}));
  EXPECT_EQ(page.GetItemText(kEdit), Sjis("山田\t太郎"));
  EXPECT_TRUE(page.IsEditModified(kEdit));
  EXPECT_EQ(page.ComboSelection(kCombo), 1);
  EXPECT_EQ(frame_events_.commands, (std::vector<Notification>{{40009, ui::kFromMenu}}));
  EXPECT_EQ(modal_result, 1);
}

}  // namespace
}  // namespace zvrx::test
