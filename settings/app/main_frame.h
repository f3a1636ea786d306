// The main frame "ZvrxDlg": the basic page fills it, its menu opens the
// other pages, the help viewer and the program's close.
#pragma once

#include <functional>
#include <memory>

#include "platform/ui/window.h"
#include "settings/pages/basic_page.h"
#include "settings/settings_state.h"

namespace zvrx {

inline constexpr char kMainFrameClass[] = "ZvrxDlg";
inline constexpr char kMainFrameTitle[] = "Mail Zevrox";
// The help viewer, started from the install root.
inline constexpr char kHelpProgram[] = "ZvrxHelp";

class MainFrame : public platform::ui::FrameEvents {
 public:
  // `quit` ends the message loop (PostQuit in the program; tests note it).
  MainFrame(SettingsState& state, std::function<void(int)> quit);
  ~MainFrame() override;
  MainFrame(const MainFrame&) = delete;
  MainFrame& operator=(const MainFrame&) = delete;

  // The frame's creation steps, the frame itself at its home position and
  // the basic page inside it. The frame stays hidden until Show.
  void Create();
  void Show();

  platform::ui::Frame& frame() { return *frame_; }
  BasicPage& basic_page() { return *basic_page_; }
  // True once the program's close went through.
  bool closed() const { return closed_; }

  // System close, "終了" or Ctrl+Q: false when the program stays open (an
  // invalid account text, or a save question cancelled).
  bool CloseProgram();
  // A close from outside the program (SIGTERM): ends without questions and
  // without saving, as the frame's destruction did.
  void EndWithoutQuestions();

  // FrameEvents.
  void OnCommand(platform::ui::Frame& frame, int id, int source) override;
  void OnMenuPopup(platform::ui::Frame& frame, int position) override;
  void OnClose(platform::ui::Frame& frame) override;
  void OnPaint(platform::ui::Frame& frame) override;
  void OnEnter(platform::ui::Frame& frame) override;

 private:
  void End();

  SettingsState& state_;
  std::function<void(int)> quit_;
  std::unique_ptr<platform::ui::Frame> frame_;
  std::unique_ptr<BasicPage> basic_page_;
  bool closed_ = false;
};

}  // namespace zvrx
