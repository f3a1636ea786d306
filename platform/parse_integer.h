// Whole numbers out of text: settings values, command words, resource
// numbers, process ids.
#pragma once

#include <charconv>
#include <concepts>
#include <optional>
#include <string_view>
#include <system_error>

namespace zvrx::platform {

// The number that `text` spells in `base` (2 to 36), or none. The whole
// text is the number: nothing empty, no blanks before or after, no "0x".
// The only sign is a '-' for a signed `T` (no '+': a caller that takes one
// strips it), so "-1" never turns into a huge unsigned value. A number that
// does not fit `T` is none rather than clamped.
template <std::integral T>
std::optional<T> ParseInteger(std::string_view text, int base = 10) {
  T value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace zvrx::platform
