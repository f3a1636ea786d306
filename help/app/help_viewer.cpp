#include "help/app/help_viewer.h"

#include <cstdio>

#include "platform/drives.h"
#include "platform/ui/dialog_template.h"
#include "shared/locations.h"

namespace zvrx::help {

namespace ui = platform::ui;

namespace {

constexpr const char* kMenuFiles[] = {"viewer.rc"};
constexpr const char* kStringFiles[] = {"strings.rc"};

// A kept picture as the window layer draws it: the bits after the info
// header and the colour table, with the palette made from that table.
ui::Bitmap BitmapOf(const KeptPicture& picture) {
  ui::Bitmap bitmap;
  bitmap.width = picture.bitmap.width;
  bitmap.height = picture.bitmap.height;
  bitmap.bits_per_pixel = picture.bitmap.bits_per_pixel;
  bitmap.palette = picture.bitmap.palette;
  bitmap.rows.assign(picture.image.begin() + static_cast<std::ptrdiff_t>(picture.bitmap.bits_offset),
                     picture.image.end());
  return bitmap;
}

}  // namespace

bool LoadHelpResources(std::string_view folder, HelpResources& resources, std::string* error) {
  bool ok = ui::LoadDialogTemplateFolder(folder, resources.dialogs, error);
  auto note = [&](const std::string& what) {
    if (ok && error != nullptr) *error = what;
    ok = false;
  };
  for (const char* name : kMenuFiles) {
    std::string menu_error;
    if (!ui::LoadMenus(std::string(folder) + "/" + name, resources.menus, resources.accelerators,
                       &menu_error)) {
      note(menu_error);
    }
  }
  for (const char* name : kStringFiles) {
    std::string string_error;
    if (!ui::LoadStringTable(std::string(folder) + "/" + name, resources.strings, &string_error)) {
      note(string_error);
    }
  }
  return ok;
}

std::string PicturePath(std::string_view picture_name) {
  return InstallRoot() + "\\Help\\" + std::string(picture_name);
}

HelpViewer::HelpViewer(const HelpResources& resources, std::function<void(int)> quit,
                       PictureRenderer::ErrorSink errors)
    : resources_(resources), quit_(std::move(quit)), renderer_(std::move(errors)) {}

HelpViewer::~HelpViewer() {
  if (ui::AcceleratorTarget() == main_window_.get()) ui::SetAccelerators(nullptr, nullptr);
  dialog_.reset();
  main_window_.reset();
}

void HelpViewer::Start() {
  platform::SetCurrentDirectory(InstallRoot());
  ui::FrameParams params;
  params.window_class = kViewerClass;
  params.title = kViewerTitle;
  params.width = kViewerWidth;
  params.height = kViewerHeight;
  params.icon_path = kViewerIcon;
  main_window_ = ui::CreateFrame(params, *this);
  // Never shown: in the middle across, and a little above the middle.
  const ui::SystemMetrics metrics = ui::Metrics();
  main_window_->Move((metrics.screen_width - kViewerWidth) / 2,
                     (metrics.screen_height - kViewerHeight * 4 / 3) / 2);
  ui::SetAccelerators(ui::FindAccelerators(resources_.accelerators, kViewerAccelerators),
                      main_window_.get());
  const ui::DialogTemplate* dialog = ui::FindTemplate(resources_.dialogs, kViewerDialog);
  if (dialog != nullptr) dialog_ = ui::CreateModelessDialog(*dialog, main_window_.get(), *this);
  if (!dialog_) {
    // Without its dialog the viewer would live on as a hidden window.
    std::fprintf(stderr, "ZvrxHelp: no viewer dialog %d\n", kViewerDialog);
    End(1);
    return;
  }
  dialog_->Show();
  dialog_->FocusItem(kTopicList);
}

void HelpViewer::OnInit(ui::Dialog& dialog) {
  ui::SetListItemHeight(dialog, kTopicList, kTopicItemHeight);
  for (int i = 0; i < kTopicCount; ++i) {
    dialog.ListInsert(kTopicList, i,
                      ui::LoadTableString(resources_.strings, kFirstListText + i, kStringBuffer));
  }
  // The topic decoded last differs from the one shown, so the first
  // showing decodes.
  renderer_.SetLastDecodedTopic(1);
  current_topic_ = 0;
  renderer_.Logo(PicturePath(ui::LoadTableString(resources_.strings, kLogoPictureName,
                                                  kStringBuffer)));
  DrawLogo(dialog);
  ShowPage(dialog, current_topic_);
  dialog.ListSelect(kTopicList, 0);
  ui::SetDialogIcon(dialog, kViewerIcon);
  dialog.SetCaption(kViewerCaption);
  dialog.FocusItem(kTopicList);
}

void HelpViewer::ShowPage(ui::Dialog& dialog, int topic) {
  const std::string name =
      ui::LoadTableString(resources_.strings, kFirstPictureName + topic, kStringBuffer);
  const KeptPicture* page = renderer_.Page(PicturePath(name), topic);
  if (page == nullptr) return;  // nothing ever decoded: an empty picture area
  const ui::BaseUnits base = ui::SystemBaseUnits();
  const PagePlacement place = PlacePage(base.x, base.y, page->bitmap.width, page->bitmap.height);
  ui::BitmapPlacement at;
  at.x = place.x;
  at.y = place.y;
  at.white_width = place.strip_width;
  at.white_height = place.strip_height;
  ui::SetItemBitmap(dialog, kPagePicture, BitmapOf(*page), at);
}

void HelpViewer::DrawLogo(ui::Dialog& dialog) {
  const KeptPicture* logo = renderer_.Logo();
  if (logo == nullptr) return;
  ui::SetItemBitmap(dialog, kLogoPicture, BitmapOf(*logo), ui::BitmapPlacement{});
}

void HelpViewer::ChooseTopic(ui::Dialog& dialog) {
  const int index = dialog.ListSelection(kTopicList);
  if (index < 0 || index == current_topic_) return;
  if (index == kLastTopic) {
    // Through the first item, so that the list shows its last item.
    dialog.ListSelect(kTopicList, 0);
    dialog.ListSelect(kTopicList, kLastTopic);
  }
  current_topic_ = index;
  ShowPage(dialog, current_topic_);
}

void HelpViewer::OnCommand(ui::Dialog& dialog, int id, int /*code*/) {
  if (id == kTopicList) {
    ChooseTopic(dialog);
  } else if (id == kCloseButton) {
    if (main_window_) main_window_->Close();
  }
}

void HelpViewer::OnPaint(ui::Dialog& dialog) {
  if (ended_) return;
  ShowPage(dialog, current_topic_);
  DrawLogo(dialog);
}

void HelpViewer::OnClose(ui::Dialog&) { End(); }

void HelpViewer::OnCommand(ui::Frame&, int id, int /*source*/) {
  if (id == kCmdEndViewer) End();
}

void HelpViewer::OnClose(ui::Frame&) { End(); }

void HelpViewer::End(int code) {
  if (ended_) return;
  ended_ = true;
  if (ui::AcceleratorTarget() == main_window_.get()) ui::SetAccelerators(nullptr, nullptr);
  dialog_.reset();
  main_window_.reset();
  renderer_.Free();
  if (quit_) quit_(code);
}

}  // namespace zvrx::help
