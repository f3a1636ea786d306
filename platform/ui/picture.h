// Pictures and the other pieces a small viewer needs from the window
// layer, for every program: a modeless top-level dialog owned by a hidden
// window, a picture control that draws a bitmap (a device-independent
// bitmap with its palette, as GDI takes it), and list items of a fixed
// height. Like window.h, it speaks in ids and bytes only.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/ui/window.h"

namespace zvrx::platform::ui {

// A bitmap as the window layer draws it: rows bottom-up, each filled to a
// multiple of 4 bytes; 24 bits are blue, green, red; 8 bits index the
// palette (red, green, blue).
struct Bitmap {
  int width = 0;
  int height = 0;
  int bits_per_pixel = 24;  // 8 or 24
  std::vector<std::array<uint8_t, 3>> palette;
  std::vector<uint8_t> rows;
};

// How the bitmap sits in its control, in pixels of the control: first an
// optional white rectangle from (0, 0), then the bitmap at (x, y), clipped
// to the control.
struct BitmapPlacement {
  int x = 0, y = 0;
  int white_width = 0, white_height = 0;
};

// Attaches a bitmap to a control (a FRAME) and draws it there from now on,
// over the control's own face, until it is replaced or cleared. Setting the
// same bitmap at the same place again draws nothing new. False when the
// dialog has no such control or the bitmap's rows are too short.
bool SetItemBitmap(Dialog& dialog, int id, const Bitmap& bitmap, const BitmapPlacement& place);
void ClearItemBitmap(Dialog& dialog, int id);

// What a control shows, for tests: whether it has a bitmap, its size and
// place, and how often the layer turned a new bitmap into pixels.
struct ItemBitmapInfo {
  bool present = false;
  int width = 0, height = 0;
  BitmapPlacement place;
  int conversions = 0;
};
ItemBitmapInfo ItemBitmap(const Dialog& dialog, int id);

// LB_SETITEMHEIGHT: every item of the list box `pixels` high.
void SetListItemHeight(Dialog& dialog, int id, int pixels);
// Whether item `index` is wholly inside the list box's visible area.
bool IsListItemVisible(const Dialog& dialog, int id, int index);

// A modeless dialog with its own caption, close box and system menu, owned
// by `owner` (which may stay hidden): it stays above its owner and goes
// with it. OnInit runs before this returns; the dialog is shown by Show().
// Its close box calls OnClose; Enter and Escape arrive as for a modal
// dialog. The dialog lives until the returned object is destroyed.
std::unique_ptr<Dialog> CreateModelessDialog(const DialogTemplate& dialog, Frame* owner,
                                             DialogEvents& events);

// Sets the icon of a dialog's window (a PNG, host or resource path).
void SetDialogIcon(Dialog& dialog, std::string_view image_path);

}  // namespace zvrx::platform::ui
