// ZvrxHelp, the help viewer: a hidden main window that owns the viewer
// dialog and takes the keyboard accelerators, the ten topics of the
// viewer's string table on the left, the page of the chosen topic on the
// right, the logo above the list. Pages come from the "Help" folder of the
// install root and are decoded only when the topic changes.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "help/render/picture_renderer.h"
#include "platform/ui/menu_template.h"
#include "platform/ui/picture.h"
#include "platform/ui/string_table.h"
#include "platform/ui/window.h"

namespace zvrx::help {

inline constexpr char kHelpResourceFolder[] = ":/help";
inline constexpr char kViewerClass[] = "ZvrxHelpClass";
inline constexpr char kViewerTitle[] = "ZvrxHelp";
inline constexpr char kViewerCaption[] = "  Mail Zevrox Help";
inline constexpr char kViewerIcon[] = ":/help/icon_105.png";
inline constexpr int kViewerWidth = 552;
inline constexpr int kViewerHeight = 314;

inline constexpr int kViewerDialog = 107;
inline constexpr int kTopicList = 1010;
inline constexpr int kPagePicture = 1008;
inline constexpr int kLogoPicture = 1011;
inline constexpr int kCloseButton = 1012;
inline constexpr int kViewerAccelerators = 101;  // "IDR_ACCELERATOR1"
inline constexpr int kCmdEndViewer = 40002;      // Ctrl+Q

inline constexpr int kTopicCount = 10;
inline constexpr int kLastTopic = kTopicCount - 1;  // "Contact to us"
inline constexpr int kFirstListText = 1;            // string ids 1 to 10
inline constexpr int kFirstPictureName = 11;        // string ids 11 to 20
inline constexpr int kLogoPictureName = 21;
inline constexpr size_t kStringBuffer = 40;
inline constexpr int kTopicItemHeight = 17;

struct HelpResources {
  std::vector<platform::ui::DialogTemplate> dialogs;
  std::vector<platform::ui::MenuTemplate> menus;
  std::vector<platform::ui::AcceleratorTable> accelerators;
  platform::ui::StringTable strings;
};

// The dialog, accelerator and string files of a host or resource folder.
bool LoadHelpResources(std::string_view folder, HelpResources& resources, std::string* error);

// "<install root>\Help\<name>": the picture file of a picture name.
std::string PicturePath(std::string_view picture_name);

class HelpViewer : public platform::ui::FrameEvents, public platform::ui::DialogEvents {
 public:
  // `quit` ends the message loop with a code; `errors` takes the lines a
  // refused picture makes (standard error when empty).
  HelpViewer(const HelpResources& resources, std::function<void(int)> quit,
             PictureRenderer::ErrorSink errors = {});
  ~HelpViewer() override;
  HelpViewer(const HelpViewer&) = delete;
  HelpViewer& operator=(const HelpViewer&) = delete;

  // Start-up: the install root as current folder, the hidden main window
  // with its accelerators, the dialog with topic 0 shown.
  void Start();
  // Destroys both windows, frees the pictures and ends the loop.
  void End(int code = 0);

  int current_topic() const { return current_topic_; }
  bool ended() const { return ended_; }
  const PictureRenderer& renderer() const { return renderer_; }
  platform::ui::Dialog* dialog() { return dialog_.get(); }
  platform::ui::Frame* main_window() { return main_window_.get(); }

  // The main window.
  void OnCommand(platform::ui::Frame& frame, int id, int source) override;
  void OnClose(platform::ui::Frame& frame) override;
  // The dialog.
  void OnInit(platform::ui::Dialog& dialog) override;
  void OnCommand(platform::ui::Dialog& dialog, int id, int code) override;
  void OnPaint(platform::ui::Dialog& dialog) override;
  void OnClose(platform::ui::Dialog& dialog) override;

 private:
  // Decodes the page of `topic` when needed and draws it.
  void ShowPage(platform::ui::Dialog& dialog, int topic);
  void DrawLogo(platform::ui::Dialog& dialog);
  void ChooseTopic(platform::ui::Dialog& dialog);

  const HelpResources& resources_;
  std::function<void(int)> quit_;
  PictureRenderer renderer_;
  std::unique_ptr<platform::ui::Frame> main_window_;
  std::unique_ptr<platform::ui::Dialog> dialog_;
  int current_topic_ = 0;
  bool ended_ = false;
};

}  // namespace zvrx::help
