#include "settings/model/message_layout.h"

#include "platform/cp932.h"

namespace zvrx {

namespace {

}  // namespace

std::vector<std::string> LayOutMessageLines(std::string_view text, int field_count) {
  std::vector<std::string> lines(field_count > 0 ? field_count : 0);
  size_t position = 0;
  for (int field = 0; field < field_count; ++field) {
    // Trail bytes are 0x40 and above, so a line feed byte is always a line feed.
    const size_t line_feed = text.find('\n', position);
    if (line_feed == std::string_view::npos) break;
    lines[field] = std::string(text.substr(position, line_feed - position));
    position = line_feed + 1;
    // The blank line every message has after its first line. A whole
    // character is skipped, so a text without that blank line never shows
    // a stray trail byte.
    if (field == 0 && position < text.size()) position += platform::Cp932CharLength(text, position);
  }
  return lines;
}

std::string CutMessageText(std::string_view text, size_t buffer_size) {
  const size_t terminator = text.find('\0');
  if (terminator != std::string_view::npos) text = text.substr(0, terminator);
  if (buffer_size == 0) return {};
  return std::string(platform::Cp932Prefix(text, buffer_size - 1));
}

platform::ui::PixelRect PlaceMessageDialog(const platform::ui::PixelRect& dialog,
                                           const platform::ui::PixelRect* owner,
                                           ScreenSize screen) {
  platform::ui::PixelRect placed = dialog;
  if (owner != nullptr) {
    placed.x = owner->x + (owner->width - dialog.width) / 2;
  } else {
    placed.x = (screen.width - dialog.width) / 2;
    placed.y = (screen.height - dialog.height) / 2;
  }
  if (placed.x < 0) placed.x = 1;
  return placed;
}

}  // namespace zvrx
