// Building pages, frames and modal dialogs, and the screen's measures.
#include "platform/ui/window.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QDir>
#include <QGuiApplication>
#include <QMimeData>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>
#include <cstdlib>
#include <map>

#include "platform/parse_integer.h"
#include "platform/ui/application.h"
#include "platform/ui/dialog_window.h"
#include "platform/ui/frame_window.h"
#include "platform/ui/qt_text.h"
#include "platform/ui/test_hooks.h"

namespace zvrx::platform::ui {

namespace {

// The tray holds a few icons, each as wide as the panel is thick.
constexpr int kTrayIcons = 4;
// A panel the window manager does not reserve is taken as Windows' own.
constexpr int kDefaultPanel = 28;

// Where the tray is, as far as Qt tells: at the far end of the strip the
// panel takes from the screen (its right or bottom end).
PixelRect TrayEstimate(const QRect& whole, const QRect& available) {
  const int bottom = whole.bottom() - available.bottom();
  const int top = available.top() - whole.top();
  const int right = whole.right() - available.right();
  const int left = available.left() - whole.left();
  if (std::max(left, right) > std::max(top, bottom)) {
    const int thickness = std::max(left, right);
    const int x = right >= left ? available.right() + 1 : whole.left();
    return {x, whole.bottom() + 1 - thickness * kTrayIcons, thickness, thickness * kTrayIcons};
  }
  int thickness = std::max(top, bottom);
  if (thickness <= 0) thickness = kDefaultPanel;
  const int y = top > bottom ? whole.top() : whole.bottom() + 1 - thickness;
  return {whole.right() + 1 - thickness * kTrayIcons, y, thickness * kTrayIcons, thickness};
}

// The id a scripted answer presses: a decimal control id or a button name;
// this program's yes buttons carry id 1.
int AnswerId(const std::string& answer, const DialogWindow& dialog) {
  if (const std::optional<int> number = ParseInteger<int>(answer)) return *number;
  const int id = ButtonIdOf(answer);
  if (id == kIdYes && !dialog.HasItem(kIdYes)) return kIdOk;
  return id;
}

// Pictures of modal dialogs for a test's eyes: dialog-<id>-<n>.png.
void GrabForTest(const DialogWindow& dialog) {
  const std::string& folder = CurrentTestHooks().grab_folder;
  if (folder.empty()) return;
  static std::map<int, int> counts;  // per template id, from 1
  const int n = ++counts[dialog.TemplateId()];
  const std::string path = folder + "/dialog-" +
                           std::to_string(dialog.TemplateId()) + "-" + std::to_string(n) + ".png";
  dialog.SaveImage(path);
}

int RunModalHere(const DialogTemplate& dialog, DialogEvents& events, const ModalOptions& options) {
  DialogWindow window(dialog, events, nullptr);
  QDialog* surface = window.modal();
  surface->setWindowTitle(ToQt(dialog.caption));
  Qt::WindowFlags flags = Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint;
  if (!options.hide_close_button) flags |= Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint;
  if (options.system_modal) flags |= Qt::WindowStaysOnTopHint;
  surface->setWindowFlags(flags);
  surface->setWindowModality(Qt::ApplicationModal);
  const QScreen* screen = QGuiApplication::primaryScreen();
  const PixelRect size = window.ItemRect(0);
  const BaseUnits base = DialogBaseUnits(dialog.font_points, dialog.font_face);
  if (dialog.centered && screen != nullptr) {
    const QRect area = screen->availableGeometry();
    window.Move(area.x() + (area.width() - size.width) / 2,
                area.y() + (area.height() - size.height) / 2);
  } else {
    const PixelRect at = DialogUnitsToPixels(dialog.x, dialog.y, 0, 0, base);
    window.Move(at.x, at.y);
  }
  events.OnInit(window);
  if (window.ended()) return window.result();  // EndDialog from OnInit: never shown
  WriteTranscript("dialog " + std::to_string(dialog.id), window.dialog_template().caption,
                  window.StaticTexts());
  std::optional<std::string> answer = NextScriptedAnswer();
  const std::function<void(Dialog&)> observer = ModalObserver();
  const bool grab = !CurrentTestHooks().grab_folder.empty();
  if (answer || observer || grab) {
    PressWhenShown([&window, answer, observer] {
      if (window.ended()) return;
      GrabForTest(window);
      if (observer) observer(window);
      if (!answer || window.ended()) return;
      const int id = AnswerId(*answer, window);
      if (window.HasItem(id)) {
        window.UserClick(id);
      } else {
        // A button the dialog lacks: the command still goes, as IDCANCEL does.
        window.events().OnCommand(window, id, kBnClicked);
      }
    });
  }
  surface->exec();
  return window.ended() ? window.result() : kIdCancel;
}

}  // namespace

void DialogEvents::OnClose(Dialog& dialog) { OnCommand(dialog, kIdCancel, kBnClicked); }

SystemMetrics Metrics() {
  SystemMetrics metrics;
  metrics.caption_height = kCaptionHeight;
  metrics.menu_height = kMenuHeight;
  metrics.menu_button_width = kMenuButtonWidth;
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return metrics;
  const QRect whole = screen->geometry();
  const QRect available = screen->availableGeometry();
  metrics.screen_width = whole.width();
  metrics.screen_height = whole.height();
  metrics.full_screen_width = available.width();
  metrics.full_screen_height = available.height() - kCaptionHeight;
  if (QSystemTrayIcon::isSystemTrayAvailable()) metrics.tray = TrayEstimate(whole, available);
  return metrics;
}

BaseUnits SystemBaseUnits() { return DialogBaseUnits(kDialogFontPoints, kDialogFontFace); }

bool ClipboardHasText() {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  return data != nullptr && data->hasText() && !data->text().isEmpty();
}

std::unique_ptr<Dialog> CreatePage(const DialogTemplate& dialog, Frame& parent,
                                   DialogEvents& events) {
  auto* frame = dynamic_cast<FrameWindow*>(&parent);
  if (frame == nullptr || frame->client() == nullptr) return nullptr;
  auto page = std::make_unique<DialogWindow>(dialog, events, frame->client());
  QWidget* root = page->root();
  root->move(0, 0);
  frame->AttachPage(root->width(), root->height());
  events.OnInit(*page);
  // Shown after its initialisation, unless that hid it.
  if (!root->testAttribute(Qt::WA_WState_ExplicitShowHide)) root->show();
  return page;
}

int RunModal(const DialogTemplate& dialog, DialogEvents& events, const ModalOptions& options) {
  int result = kIdCancel;
  if (!RunOnMainThread([&] { result = RunModalHere(dialog, events, options); })) return kIdCancel;
  return result;
}

std::unique_ptr<Frame> CreateFrame(const FrameParams& params, FrameEvents& events) {
  return std::make_unique<FrameWindow>(params, events);
}

}  // namespace zvrx::platform::ui
