#include "settings/model/message_layout.h"

#include "platform/path_split.h"

namespace zvrx {

namespace {

// Bytes of the character starting at `at`: a lead byte takes its trail byte
// along when there is one.
size_t CharacterLength(std::string_view text, size_t at) {
  if (platform::IsCp932LeadByte(static_cast<unsigned char>(text[at])) && at + 1 < text.size()) {
    return 2;
  }
  return 1;
}

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
    if (field == 0 && position < text.size()) position += CharacterLength(text, position);
  }
  return lines;
}

std::string CutMessageText(std::string_view text, size_t buffer_size) {
  const size_t terminator = text.find('\0');
  if (terminator != std::string_view::npos) text = text.substr(0, terminator);
  if (buffer_size == 0) return {};
  const size_t limit = buffer_size - 1;
  size_t end = 0;
  while (end < text.size()) {
    const size_t next = end + CharacterLength(text, end);
    if (next > limit) break;
    end = next;
  }
  return std::string(text.substr(0, end));
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
