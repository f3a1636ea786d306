// The extension settings file "Zvrx Staffs\ZVRXExt.ini": the settings of the
// features beyond the written system, kept apart so that no written record
// changes its layout. UTF-8 text, one "key = value" per line (blanks around
// both are ignored, LF or CR LF); a line whose first non-blank is '#' is a
// comment (a '#' later in a line belongs to the value). Comments, unknown
// keys and lines that are no "key = value" are saved back byte for byte.
// When a key is given twice, the last line counts.
//
// A missing file or key means the key's default. A bad value is refused when
// set and, when read, reported with the default used instead.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zvrx {

inline constexpr char kExtensionSettingsName[] = "ZVRXExt.ini";
// A settings file is a few hundred bytes; anything far larger is not ours,
// and is neither read nor replaced.
inline constexpr size_t kExtensionSettingsMaxBytes = 65536;

enum class ExtensionType {
  kBool,     // on|off (also read: yes|no, true|false, 1|0, any case); written on|off
  kInteger,  // decimal, within [low, high]
  kWords,    // one of `words` ("auto|tls|starttls|plain"), any case; written as listed
  kText,     // UTF-8 of at most max_bytes bytes, no control characters, no blank at either end
};

struct ExtensionKey {
  const char* name;  // as written in the file
  ExtensionType type;
  const char* default_value;  // as it would be written
  const char* meaning;        // UTF-8; the comment written above a new key's line
  long low = 0;
  long high = 0;
  const char* words = nullptr;
  size_t max_bytes = 0;
};

// A key of each type, for the table below.
constexpr ExtensionKey BoolKey(const char* name, const char* default_value, const char* meaning) {
  return {.name = name, .type = ExtensionType::kBool, .default_value = default_value,
          .meaning = meaning};
}
constexpr ExtensionKey IntegerKey(const char* name, long low, long high, const char* default_value,
                                  const char* meaning) {
  return {.name = name, .type = ExtensionType::kInteger, .default_value = default_value,
          .meaning = meaning, .low = low, .high = high};
}
constexpr ExtensionKey WordsKey(const char* name, const char* words, const char* default_value,
                                const char* meaning) {
  return {.name = name, .type = ExtensionType::kWords, .default_value = default_value,
          .meaning = meaning, .words = words};
}
constexpr ExtensionKey TextKey(const char* name, size_t max_bytes, const char* default_value,
                               const char* meaning) {
  return {.name = name, .type = ExtensionType::kText, .default_value = default_value,
          .meaning = meaning, .max_bytes = max_bytes};
}

inline constexpr char kModernMailKey[] = "modern_mail";
// The transport of each account's POP3 connection (checker/core/transport_policy.h).
inline constexpr const char* kTransportKeys[] = {"tls1", "tls2", "tls3"};
inline constexpr char kTransportWordList[] = "auto|tls|starttls|plain";
inline constexpr char kKeepDeletedKey[] = "keep_deleted";
inline constexpr char kKeepDaysKey[] = "keep_days";
inline constexpr char kKeepSizeKey[] = "keep_size_mb";
inline constexpr char kLearnedJudgmentKey[] = "learned_judgment";
inline constexpr char kBrandCheckKey[] = "brand_check";
inline constexpr char kQuotedWarningsKey[] = "quoted_warnings";

// One line per key. A key nobody has set has its default: modern_mail is on
// for every installation that never switched it off.
inline constexpr ExtensionKey kExtensionKeys[] = {
    BoolKey(kModernMailKey, "on", "UTF-8 と Base64 のメールも解析する"),
    WordsKey("tls1", kTransportWordList, "auto",
             "1つ目のアカウントの接続方式: auto は 995 番で TLS、ほかは STLS、平文はこのマシンの"
             "サーバーだけ; tls; starttls; plain は暗号化なし"),
    WordsKey("tls2", kTransportWordList, "auto", "2つ目のアカウントの接続方式 (tls1 と同じ)"),
    WordsKey("tls3", kTransportWordList, "auto", "3つ目のアカウントの接続方式 (tls1 と同じ)"),
    BoolKey(kKeepDeletedKey, "on", "削除するメールの控えを Kept フォルダに保存する"),
    IntegerKey(kKeepDaysKey, 1, 3650, "30", "控えを残す日数"),
    IntegerKey(kKeepSizeKey, 1, 100000, "200", "控え全体の上限 (MB)"),
    BoolKey(kLearnedJudgmentKey, "on", "辞書のあとに学習した語の重みでも判定する"),
    BoolKey(kBrandCheckKey, "on",
            "差出人名や件名の【】で名乗る企業と、送信元・リンク先のドメインが違うメールを"
            "フィッシングとして採点する"),
    BoolKey(kQuotedWarningsKey, "on",
            "詐欺メールを引用した注意喚起は、辞書が削除と判定したとき「」『』の中を除いて"
            "判定し直す"),
};

// The file's text with the values of the keys in a table.
class ExtensionSettings {
 public:
  explicit ExtensionSettings(std::span<const ExtensionKey> keys = kExtensionKeys);

  // Takes the file's text in place of anything before: every key of the
  // table gets its value (the default when missing or bad) and every bad
  // line a problem.
  void Parse(std::string_view text);
  // The text to save: the parsed text with the values set since, each in its
  // line; a key without a line gets one at the end, under a comment.
  std::string Text() const;

  // A value as the file holds it (the default when missing or bad); for an
  // unknown key false, 0 or "".
  bool Bool(std::string_view key) const;
  long Integer(std::string_view key) const;
  const std::string& Value(std::string_view key) const;  // words and texts

  // Sets a value given as text: "" when taken, else why not (and nothing
  // changes).
  std::string Set(std::string_view key, std::string_view value);

  // What was wrong in the file, one text per bad line ("ZVRXExt.ini line 3:
  // ...") or for the whole file.
  const std::vector<std::string>& problems() const { return problems_; }
  // Why the file could not be read at all; such a file is never replaced.
  const std::string& unreadable() const { return unreadable_; }
  void SetUnreadable(std::string why);

 private:
  struct Line {
    std::string bytes;  // with its line ending
    // Where the value of a key of the table stands in `bytes`.
    size_t value_begin = 0;
    size_t value_end = 0;
  };
  int KeyIndex(std::string_view name) const;
  std::string LineEnding() const;

  std::span<const ExtensionKey> keys_;
  std::vector<Line> lines_;
  std::vector<std::string> values_;  // per key, as written
  std::vector<int> key_lines_;       // per key, its last line or -1
  std::vector<std::string> problems_;
  std::string unreadable_;
};

// Checks a value for a key: "" and the value as it is written (`canonical`)
// when sound, else why not.
std::string CheckExtensionValue(const ExtensionKey& key, std::string_view value,
                                std::string* canonical);

// "C:\Program Files\ZVRX\Zvrx Staffs\ZVRXExt.ini".
std::string ExtensionSettingsPath();

// Reads the file. A missing file or data folder gives the defaults without a
// problem; a file that cannot be read (a folder in its place, far too large)
// gives the defaults, a problem and unreadable().
ExtensionSettings LoadExtensionSettings(std::span<const ExtensionKey> keys = kExtensionKeys);

// Under the settings lock: reads the file, sets every value and saves it,
// atomically and readable by its owner alone. "" when saved; else why not,
// and nothing was written (a bad value refuses every change).
std::string ChangeExtensionSettings(const std::vector<std::pair<std::string, std::string>>& changes,
                                    std::span<const ExtensionKey> keys = kExtensionKeys);

}  // namespace zvrx
