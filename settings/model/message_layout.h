// Layout of the message dialogs: which text goes into which line field, and
// where the dialog stands.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/window_metrics.h"

namespace zvrx {

// The texts of the line fields: the text before each line feed in turn,
// skipping one more character after the first line; text after the last
// line feed is not shown.
std::vector<std::string> LayOutMessageLines(std::string_view text, int field_count);

// The text as the message buffer of `buffer_size` bytes holds it: up to its
// first NUL, cut to buffer_size - 1 bytes without splitting a double-byte
// character.
std::string CutMessageText(std::string_view text, size_t buffer_size);

// Screen size as the placement needs it.
struct ScreenSize {
  int width = 0, height = 0;
};

// Where the dialog goes: centred horizontally over `owner` keeping its
// vertical position, or, with no owner, centred on the screen. A negative
// left edge becomes 1.
platform::ui::PixelRect PlaceMessageDialog(const platform::ui::PixelRect& dialog,
                                           const platform::ui::PixelRect* owner,
                                           ScreenSize screen);

}  // namespace zvrx
