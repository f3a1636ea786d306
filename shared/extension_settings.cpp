#include "shared/extension_settings.h"

#include <optional>
#include <string>

#include "platform/files.h"
#include "platform/parse_integer.h"
#include "shared/locations.h"
#include "shared/record_files.h"

namespace zvrx {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

// Well-formed UTF-8 (no overlong forms, no surrogates, at most U+10FFFF)
// without control characters (C0, DEL, C1): a value must stay on its line
// and show as what it is.
bool IsCleanUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      if (lead < 0x20 || lead == 0x7F) return false;
      ++i;
      continue;
    }
    size_t length = 0;
    unsigned long code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      code = lead & 0x07;
    } else {
      return false;
    }
    if (i + length > text.size()) return false;
    for (size_t k = 1; k < length; ++k) {
      const unsigned char next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    if ((length == 3 && code < 0x800) || (length == 4 && (code < 0x10000 || code > 0x10FFFF)) ||
        (code >= 0xD800 && code <= 0xDFFF) || (code >= 0x80 && code <= 0x9F)) {
      return false;
    }
    i += length;
  }
  return true;
}

// The choices of a kWords key, one by one.
std::vector<std::string_view> Words(const ExtensionKey& key) {
  std::vector<std::string_view> words;
  std::string_view all = key.words ? key.words : "";
  while (!all.empty()) {
    size_t bar = all.find('|');
    words.push_back(all.substr(0, bar));
    if (bar == std::string_view::npos) break;
    all.remove_prefix(bar + 1);
  }
  return words;
}

std::string Choices(const ExtensionKey& key) {
  std::string text;
  for (std::string_view word : Words(key)) text += (text.empty() ? "" : ", ") + std::string(word);
  return text;
}

// What a new key's comment says may be written.
std::string Hint(const ExtensionKey& key) {
  switch (key.type) {
    case ExtensionType::kBool:
      return "on|off";
    case ExtensionType::kInteger:
      return std::to_string(key.low) + ".." + std::to_string(key.high);
    case ExtensionType::kWords:
      return key.words ? key.words : "";
    case ExtensionType::kText:
      return "text, at most " + std::to_string(key.max_bytes) + " bytes";
  }
  return {};
}

// What a person editing the file may write for on and off.
constexpr std::pair<const char*, bool> kBoolWords[] = {
    {"on", true},   {"yes", true}, {"true", true},   {"1", true},
    {"off", false}, {"no", false}, {"false", false}, {"0", false}};

const std::string& EmptyValue() {
  static const std::string empty;
  return empty;
}

}  // namespace

std::string CheckExtensionValue(const ExtensionKey& key, std::string_view value,
                                std::string* canonical) {
  const std::string name = key.name;
  switch (key.type) {
    case ExtensionType::kBool:
      for (const auto& [word, on] : kBoolWords) {
        if (!SameIgnoringCase(value, word)) continue;
        *canonical = on ? "on" : "off";
        return {};
      }
      return name + " must be on or off";
    case ExtensionType::kInteger: {
      const std::string range = name + " must be a whole number from " + std::to_string(key.low) +
                                " to " + std::to_string(key.high);
      const std::optional<long> number = platform::ParseInteger<long>(value);
      if (!number || *number < key.low || *number > key.high) return range;
      *canonical = std::to_string(*number);
      return {};
    }
    case ExtensionType::kWords:
      for (std::string_view word : Words(key)) {
        if (!SameIgnoringCase(value, word)) continue;
        *canonical = std::string(word);
        return {};
      }
      return name + " must be one of " + Choices(key);
    case ExtensionType::kText:
      if (!IsCleanUtf8(value)) return name + " must be UTF-8 text without control characters";
      if (value.size() > key.max_bytes) {
        return name + " must be at most " + std::to_string(key.max_bytes) + " bytes";
      }
      // Blanks at either end would be lost when the line is read again.
      if (value != Trim(value)) return name + " cannot begin or end with a blank";
      *canonical = std::string(value);
      return {};
  }
  return name + " has no known type";
}

ExtensionSettings::ExtensionSettings(std::span<const ExtensionKey> keys)
    : keys_(keys), key_lines_(keys.size(), -1) {
  for (const ExtensionKey& key : keys_) values_.emplace_back(key.default_value);
}

int ExtensionSettings::KeyIndex(std::string_view name) const {
  for (size_t i = 0; i < keys_.size(); ++i) {
    if (name == keys_[i].name) return static_cast<int>(i);
  }
  return -1;
}

void ExtensionSettings::SetUnreadable(std::string why) {
  problems_.push_back(std::string(kExtensionSettingsName) + ": " + why + "; the defaults are used");
  unreadable_ = std::move(why);
}

void ExtensionSettings::Parse(std::string_view text) {
  const std::string file = kExtensionSettingsName;
  *this = ExtensionSettings(keys_);
  size_t begin = 0;
  while (begin < text.size()) {
    size_t end = text.find('\n', begin);
    end = end == std::string_view::npos ? text.size() : end + 1;
    Line line{std::string(text.substr(begin, end - begin))};
    const int number = static_cast<int>(lines_.size()) + 1;
    begin = end;

    std::string_view content = line.bytes;
    size_t offset = 0;  // of `content` in the line
    // A byte-order mark, as Windows editors write one, is no part of a key.
    if (number == 1 && content.starts_with("\xEF\xBB\xBF")) offset = 3;
    content.remove_prefix(offset);
    if (content.ends_with('\n')) content.remove_suffix(1);
    if (content.ends_with('\r')) content.remove_suffix(1);

    std::string_view trimmed = Trim(content);
    const size_t equals = content.find('=');
    if (trimmed.empty() || trimmed.front() == '#') {
      lines_.push_back(std::move(line));
      continue;
    }
    const std::string where = file + " line " + std::to_string(number) + ": ";
    if (equals == std::string_view::npos || Trim(content.substr(0, equals)).empty()) {
      problems_.push_back(where + "no key = value; the line is kept as it is");
      lines_.push_back(std::move(line));
      continue;
    }
    const int key = KeyIndex(Trim(content.substr(0, equals)));
    if (key < 0) {  // written by a later version, or for one: kept, not ours
      lines_.push_back(std::move(line));
      continue;
    }
    // The value's place in the line, so that a change replaces it alone.
    std::string_view after = content.substr(equals + 1);
    std::string_view value = Trim(after);
    const size_t leading = after.find_first_not_of(" \t");
    line.value_begin =
        offset + equals + 1 + (leading == std::string_view::npos ? after.size() : leading);
    line.value_end = line.value_begin + value.size();

    const ExtensionKey& entry = keys_[static_cast<size_t>(key)];
    if (key_lines_[static_cast<size_t>(key)] >= 0) {
      problems_.push_back(where + entry.name + " is given again (also on line " +
                          std::to_string(key_lines_[static_cast<size_t>(key)] + 1) +
                          "); the last line counts");
    }
    key_lines_[static_cast<size_t>(key)] = static_cast<int>(lines_.size());
    std::string canonical;
    std::string error = CheckExtensionValue(entry, value, &canonical);
    if (error.empty()) {
      values_[static_cast<size_t>(key)] = canonical;
    } else {
      values_[static_cast<size_t>(key)] = entry.default_value;
      const std::string shown = *entry.default_value ? entry.default_value : "(empty)";
      problems_.push_back(where + error + "; the default " + shown + " is used");
    }
    lines_.push_back(std::move(line));
  }
}

// New lines follow the file's own line ending.
std::string ExtensionSettings::LineEnding() const {
  for (const Line& line : lines_) {
    if (line.bytes.ends_with("\r\n")) return "\r\n";
    if (line.bytes.ends_with('\n')) return "\n";
  }
  return "\n";
}

std::string ExtensionSettings::Text() const {
  std::string text;
  for (const Line& line : lines_) text += line.bytes;
  return text;
}

bool ExtensionSettings::Bool(std::string_view key) const { return Value(key) == "on"; }

long ExtensionSettings::Integer(std::string_view key) const {
  return platform::ParseInteger<long>(Value(key)).value_or(0);
}

const std::string& ExtensionSettings::Value(std::string_view key) const {
  const int index = KeyIndex(key);
  return index < 0 ? EmptyValue() : values_[static_cast<size_t>(index)];
}

std::string ExtensionSettings::Set(std::string_view key, std::string_view value) {
  const int index = KeyIndex(key);
  if (index < 0) return "no setting " + std::string(key);
  const ExtensionKey& entry = keys_[static_cast<size_t>(index)];
  std::string canonical;
  std::string error = CheckExtensionValue(entry, value, &canonical);
  if (!error.empty()) return error;
  values_[static_cast<size_t>(index)] = canonical;
  const int at = key_lines_[static_cast<size_t>(index)];
  if (at >= 0) {
    Line& line = lines_[static_cast<size_t>(at)];
    line.bytes.replace(line.value_begin, line.value_end - line.value_begin, canonical);
    line.value_end = line.value_begin + canonical.size();
    return {};
  }
  const std::string ending = LineEnding();
  if (!lines_.empty() && !lines_.back().bytes.ends_with('\n')) lines_.back().bytes += ending;
  lines_.push_back({"# " + std::string(entry.meaning) + " (" + Hint(entry) + ")" + ending});
  Line line{std::string(entry.name) + " = "};
  line.value_begin = line.bytes.size();
  line.bytes += canonical;
  line.value_end = line.bytes.size();
  line.bytes += ending;
  key_lines_[static_cast<size_t>(index)] = static_cast<int>(lines_.size());
  lines_.push_back(std::move(line));
  return {};
}

std::string ExtensionSettingsPath() { return DataFolder() + kExtensionSettingsName; }

ExtensionSettings LoadExtensionSettings(std::span<const ExtensionKey> keys) {
  ExtensionSettings settings(keys);
  const std::string path = ExtensionSettingsPath();
  if (platform::FolderExists(path)) {
    settings.SetUnreadable("a folder stands in its place");
    return settings;
  }
  auto bytes = platform::ReadFileBytes(path, kExtensionSettingsMaxBytes + 1);
  if (!bytes) {
    // Missing is the usual case: every key has its default.
    if (platform::FileExists(path)) {
      settings.SetUnreadable("it cannot be read");
    }
    return settings;
  }
  if (bytes->size() > kExtensionSettingsMaxBytes) {
    settings.SetUnreadable("it is larger than " + std::to_string(kExtensionSettingsMaxBytes) +
                           " bytes");
    return settings;
  }
  settings.Parse(std::string_view(bytes->data(), bytes->size()));
  return settings;
}

std::string ChangeExtensionSettings(const std::vector<std::pair<std::string, std::string>>& changes,
                                    std::span<const ExtensionKey> keys) {
  auto lock = LockSettings();
  if (!lock) return "another program keeps changing the settings";
  if (!platform::FolderExists(DataFolder())) return "no data folder";
  ExtensionSettings settings = LoadExtensionSettings(keys);
  // Replacing a file we could not read would lose what it holds.
  if (!settings.unreadable().empty()) {
    return std::string(kExtensionSettingsName) + ": " + settings.unreadable() +
           "; nothing was written";
  }
  for (const auto& [key, value] : changes) {
    std::string error = settings.Set(key, value);
    if (!error.empty()) return error;
  }
  const std::string text = settings.Text();
  if (!platform::WritePrivateFileBytes(ExtensionSettingsPath(), text.data(), text.size())) {
    return std::string("cannot write ") + kExtensionSettingsName;
  }
  return {};
}

}  // namespace zvrx
