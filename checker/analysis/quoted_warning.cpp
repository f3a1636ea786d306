#include "checker/analysis/quoted_warning.h"

#include <cstring>
#include <string_view>

#include "checker/analysis/find_no_case.h"

namespace zvrx {

namespace {

bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9f) || (c >= 0xe0 && c <= 0xfc); }

// Words that only a warning about fraud mail uses together with quotations
// of it; Shift-JIS.
constexpr const char* kWarningWords[] = {
    "\x8d\xbc\x8b\x5c",                                  // 詐欺
    "\x82\xc8\x82\xe8\x82\xb7\x82\xdc\x82\xb5",          // なりすまし
    "\x83\x74\x83\x42\x83\x62\x83\x56\x83\x93\x83\x4f",  // フィッシング
    "\x8e\xe8\x8c\xfb",                                  // 手口
    "\x8b\x55\x82\xcc",                                  // 偽の
    "\x8b\x55\x83\x54\x83\x43\x83\x67",                  // 偽サイト
    "\x8b\x55\x95\xa8",                                  // 偽物
    "\x96\xc0\x98\x66\x83\x81\x81\x5b\x83\x8b",          // 迷惑メール
    "\x95\x73\x90\x52\x82\xc8\x83\x81\x81\x5b\x83\x8b",  // 不審なメール
    "\x82\xf0\x91\x95\x82\xc1\x82\xbd",                  // を装った
    "\x82\xf0\x91\x95\x82\xa4",                          // を装う
    "\x82\xf0\x82\xa9\x82\xbd\x82\xe9",                  // をかたる
    "\xe9\x78\x82\xe9",                                  // 騙る
    "\x92\x8d\x88\xd3\x8a\xab\x8b\x4e",                  // 注意喚起
    "\x82\xf0\x82\xa9\x82\xbd\x82\xc1\x82\xbd",          // をかたった
    "\x95\x73\x90\x52\x82\xc8\x53\x4d\x53",              // 不審なSMS
    "\x95\x73\x90\x52\x82\xc8\x82\x72\x82\x6c\x82\x72",  // 不審なＳＭＳ
    // Someone who passes on a mail they got, to ask about it.
    "\x89\xba\x82\xcc\x83\x81\x81\x5b\x83\x8b",                  // 下のメール
    "\x82\xb1\x82\xf1\x82\xc8\x83\x81\x81\x5b\x83\x8b",          // こんなメール
    "\x8e\x9f\x82\xcc\x82\xe6\x82\xa4\x82\xc8\x83\x81\x81\x5b\x83\x8b",  // 次のようなメール
    "\x93\x5d\x91\x97\x82\xb5\x82\xdc\x82\xb7",                  // 転送します
    "\x83\x81\x81\x5b\x83\x8b\x82\xaa\x97\x88\x82\xbd",          // メールが来た
    "\x96\x7b\x95\xa8\x82\xc5\x82\xb5\x82\xe5\x82\xa4\x82\xa9",  // 本物でしょうか
    "\x96\x7b\x95\xa8\x82\xc5\x82\xb7\x82\xa9",                  // 本物ですか
    "\x96\x7b\x93\x96\x82\xc5\x82\xb7\x82\xa9",                  // 本当ですか
    // Someone who warns others in their own words, or talks about an ad.
    "\x8c\xa9\x95\xaa\x82\xaf\x95\xfb",  // 見分け方
    "\x82\xc9\x82\xe0\x97\x88",  // にも来
    "\xe9\x78\x82\xb3\x82\xea",  // 騙され
    "\x82\xbe\x82\xdc\x82\xb3\x82\xea",  // だまされ
    "\x88\xf8\x82\xc1\x82\xa9\x82\xa9\x82\xe7",  // 引っかから
    "\x94\xed\x8a\x51\x82\xc9",  // 被害に
    "\x8b\x43\x82\xf0\x82\xc2\x82\xaf\x82\xc4",  // 気をつけて
    "\x92\x8d\x88\xd3\x82\xb5\x82\xc4\x82\xad\x82\xbe\x82\xb3\x82\xa2",  // 注意してください
    "\x8a\xa9\x97\x55\x82\xc9\x82\xb2\x92\x8d\x88\xd3",  // 勧誘にご注意
    "\x90\x4d\x97\x70\x82\xb5\x82\xc8\x82\xa2",  // 信用しない
    "\x82\xc1\x82\xc4\x8d\x4c\x8d\x90",  // って広告
    "\x82\xc6\x82\xa2\x82\xa4\x8d\x4c\x8d\x90",  // という広告
    "\x82\xe6\x82\xa4\x82\xc8\x8d\x4c\x8d\x90",  // ような広告
    "\x83\x58\x83\x70\x83\x80",  // スパム
    "\x82\xc6\x82\xa2\x82\xa4\x83\x81\x81\x5b\x83\x8b",  // というメール
    "\x82\xdd\x82\xbd\x82\xa2\x82\xc8\x83\x81\x81\x5b\x83\x8b",  // みたいなメール
    "\x82\xc6\x82\xa2\x82\xa4\x53\x4d\x53",  // というSMS
    "\x82\xdd\x82\xbd\x82\xa2\x82\xc8\x53\x4d\x53",  // みたいなSMS
    "\x8a\x4a\x82\xa9\x82\xc8\x82\xa2\x82\xc5",  // 開かないで
    "\x89\x9f\x82\xb3\x82\xc8\x82\xa2\x82\xc5",  // 押さないで
    "\x96\x7b\x95\xa8\x81\x48",  // 本物？
    "\x93\xcd\x82\xa2\x82\xbd\x95\xfb",  // 届いた方
    "\x93\xaf\x82\xb6\x8f\xf3\x8b\xb5\x82\xcc\x95\xfb",  // 同じ状況の方
};

// The same in English mail: a list member who pastes a scam to warn about
// it or to ask whether it is real. Lower case; matched in either case at a
// word start. None of them is a turn that scams use of themselves.
constexpr const char* kEnglishWarningWords[] = {
    "phish",        "beware",          "sextortion",       "impersonat",      "a scam",
    "fake email",   "fake text",       "fake message",     "fake mail",       "fraudster",
    "posing as",    "pretending to be", "original message", "wrote:",          "writes:",
    "is this real", "is this legit",   "anyone else",      "heads up",        "got one of these",
    "not from us",  "don't click",     "do not click",     "sanity check",    "genuine?",
    "legit?",       "real?",           "a word of warning", "reported it",    "fraud report",
    "lookalike",    "look-alike",      "i got an email",   "word for word",   "fake \"",
    "has anyone",   "does anyone",
};

// Rules that people draw above and below a mail they paste into theirs:
// four or more of one of these in a row open a line.
constexpr const char* kRuleMarks[] = {
    "-", "=", "_", "\x81\x5c" /* ― */, "\x84\x9f" /* ─ */, "\x84\xaa" /* ━ */,
    "\x81\x81" /* ＝ */, "\x81\x7c" /* － */,
};
constexpr int kRuleRun = 4;

// "例：" and "例:" open an example of the fake mail that runs to the end of
// its line and on over the lines indented under it.
constexpr const char* kExampleMarks[] = {"\x97\xe1\x81\x46", "\x97\xe1:"};

// Words of a line that announces a mail pasted below it, as a line ending
// in a colon does.
constexpr const char* kPasteWords[] = {
    "\x93\x5c\x82\xe8\x95\x74\x82\xaf",          // 貼り付け
    "\x88\xc8\x89\xba\x82\xcc\x82\xe6\x82\xa4\x82\xc8",  // 以下のような
    "\x8e\x9f\x82\xcc\x82\xe6\x82\xa4\x82\xc8",          // 次のような
    "pasted",
};

// The marks a writer puts around what a fake mail said.
struct QuotePair {
  const char* open;
  const char* close;
};
constexpr QuotePair kQuotePairs[] = {
    {"\x81\x75", "\x81\x76"},  // 「」
    {"\x81\x77", "\x81\x78"},  // 『』
    {"\x81\x67", "\x81\x68"},  // “”
    {"\"", "\""},
};

int32_t CharacterSize(const char* text, int32_t at, int32_t length) {
  return IsLeadByte(static_cast<unsigned char>(text[at])) && at + 1 < length ? 2 : 1;
}

bool At(const char* text, int32_t at, int32_t length, const char* what) {
  const int32_t n = static_cast<int32_t>(std::strlen(what));
  return at + n <= length && std::memcmp(text + at, what, static_cast<size_t>(n)) == 0;
}

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Where the quotation opened at `open` closes (the position of its closing
// mark), or -1.
int32_t QuotationEnd(const char* text, int32_t open, int32_t open_size, int32_t length,
                     const char* close) {
  // The closing mark may start right behind kMaxQuotedBytes quoted bytes.
  const int32_t last = open + open_size + kMaxQuotedBytes;
  const int32_t limit = last < length ? last + 1 : length;
  for (int32_t q = open + open_size; q < limit;) {
    if (text[q] == '\0') return -1;
    if (text[q] == '\n' && q + 1 < length && (text[q + 1] == '\n' || text[q + 1] == '\r')) {
      return -1;
    }
    if (At(text, q, length, close)) return q;
    q += CharacterSize(text, q, length);
  }
  return -1;
}

bool StartsIndented(const char* text, int32_t at, int32_t length) {
  return at < length && (text[at] == ' ' || text[at] == '\t' || At(text, at, length, "\x81\x40"));
}

// Where the line after the one that ends at `end` starts.
int32_t NextLine(const char* text, int32_t end, int32_t length) {
  if (end < length && text[end] == '\r') ++end;
  if (end < length && text[end] == '\n') ++end;
  return end;
}

// Where the example that starts at `from` ends: the end of its line, or of
// the last line indented under it; at most kMaxQuotedBytes on.
int32_t ExampleEnd(const char* text, int32_t from, int32_t length) {
  const int32_t limit = from + kMaxQuotedBytes < length ? from + kMaxQuotedBytes : length;
  int32_t q = from;
  while (q < limit) {
    if (text[q] == '\0') return q;
    if (text[q] == '\r' || text[q] == '\n') {
      const int32_t next = NextLine(text, q, length);
      if (!StartsIndented(text, next, length)) return q;
      q = next;
      continue;
    }
    q += CharacterSize(text, q, length);
  }
  return q < length ? q : length;
}

// The end of the line that starts at `at` (its line end or NUL).
int32_t LineEnd(const char* text, int32_t at, int32_t length) {
  int32_t q = at;
  while (q < length && text[q] != '\0' && text[q] != '\r' && text[q] != '\n') {
    q += CharacterSize(text, q, length);
  }
  return q < length ? q : length;
}

// Blanks `out` from `from` to `to`, line ends kept.
void BlankKeepingLineEnds(std::string& out, int32_t from, int32_t to) {
  for (int32_t q = from; q < to; ++q) {
    if (out[static_cast<size_t>(q)] != '\r' && out[static_cast<size_t>(q)] != '\n') {
      out[static_cast<size_t>(q)] = ' ';
    }
  }
}

// The end of the line at `at` when it is a rule (after blanks, a run of
// kRuleRun of one rule mark; text may follow, as in "----- 転送 -----"),
// else -1.
int32_t RuleLineEnd(const char* text, int32_t at, int32_t length) {
  int32_t q = at;
  while (q < length && (text[q] == ' ' || text[q] == '\t')) ++q;
  bool rule = false;
  for (const char* mark : kRuleMarks) {
    const int32_t size = static_cast<int32_t>(std::strlen(mark));
    int run = 0;
    while (run < kRuleRun && At(text, q + run * size, length, mark)) ++run;
    if (run == kRuleRun) rule = true;
  }
  if (!rule) return -1;
  return LineEnd(text, q, length);
}

// Where the mail pasted below the rule line that ends at `from` ends: the
// start of the next rule line within kMaxPastedBytes, or -1.
int32_t PastedEnd(const char* text, int32_t from, int32_t length) {
  const int32_t limit = from + kMaxPastedBytes < length ? from + kMaxPastedBytes : length;
  for (int32_t q = from; q < limit && text[q] != '\0';) {
    if (text[q] == '\n' && q + 1 < length && RuleLineEnd(text, q + 1, length) >= 0) return q + 1;
    q += CharacterSize(text, q, length);
  }
  return -1;
}

bool IsEmptyLine(const char* text, int32_t at, int32_t end) {
  for (int32_t q = at; q < end; ++q) {
    if (text[q] != ' ' && text[q] != '\t') return false;
  }
  return true;
}

// Whether the line from `at` to `end` announces a mail pasted below it:
// it ends in a colon or names the paste.
bool AnnouncesPaste(const char* text, int32_t at, int32_t end) {
  int32_t last = -1;
  for (int32_t q = at; q < end; q += CharacterSize(text, q, end)) {
    if (text[q] != ' ' && text[q] != '\t') last = q;
    for (const char* word : kPasteWords) {
      if (StartsWithNoCase(std::string_view(text + q, static_cast<size_t>(end - q)), word)) {
        return true;
      }
    }
  }
  return last >= 0 && (text[last] == ':' || At(text, last, end, "\x81\x46"));
}

// Blanks in `out` the paragraph under each line that announces a paste
// (after at most one empty line, up to the next empty line, whole lines
// within kMaxPastedBytes).
void BlankAnnouncedPastes(const char* text, int32_t length, std::string& out) {
  for (int32_t at = 0; at < length && text[at] != '\0';) {
    const int32_t end = LineEnd(text, at, length);
    int32_t next = NextLine(text, end, length);
    if (next == end) return;  // the last line, or a NUL
    if (!AnnouncesPaste(text, at, end)) {
      at = next;
      continue;
    }
    int32_t line_end = LineEnd(text, next, length);
    // Two lines in a row that announce it: the paste is under the second.
    if (AnnouncesPaste(text, next, line_end)) {
      at = next;
      continue;
    }
    if (IsEmptyLine(text, next, line_end)) {
      next = NextLine(text, line_end, length);
      line_end = LineEnd(text, next, length);
    }
    const int32_t from = next;
    const int32_t limit = next + kMaxPastedBytes;
    int32_t to = next;
    while (next < length && line_end <= limit && !IsEmptyLine(text, next, line_end)) {
      to = line_end;
      const int32_t following = NextLine(text, line_end, length);
      if (following == line_end) break;
      next = following;
      line_end = LineEnd(text, next, length);
    }
    BlankKeepingLineEnds(out, from, to);
    at = next;
  }
}

}  // namespace

bool HasFraudWarningWords(const char* text, int32_t length) {
  for (int32_t p = 0; p < length && text[p] != '\0'; p += CharacterSize(text, p, length)) {
    for (const char* word : kWarningWords) {
      if (At(text, p, length, word)) return true;
    }
    if (p == 0 || !IsAsciiLetter(text[p - 1])) {
      for (const char* word : kEnglishWarningWords) {
        if (StartsWithNoCase(std::string_view(text + p, static_cast<size_t>(length - p)), word)) {
          return true;
        }
      }
    }
  }
  return false;
}

std::string BlankQuotations(const char* text, int32_t length) {
  std::string out(text, static_cast<size_t>(length));
  for (int32_t p = 0; p < length;) {
    const QuotePair* pair = nullptr;
    for (const QuotePair& candidate : kQuotePairs) {
      if (At(text, p, length, candidate.open)) pair = &candidate;
    }
    if (pair != nullptr) {
      const int32_t open_size = static_cast<int32_t>(std::strlen(pair->open));
      const int32_t end = QuotationEnd(text, p, open_size, length, pair->close);
      if (end >= 0) {
        for (int32_t q = p + open_size; q < end; ++q) out[static_cast<size_t>(q)] = ' ';
        p = end + static_cast<int32_t>(std::strlen(pair->close));
        continue;
      }
    }
    const bool line_start = p == 0 || text[p - 1] == '\n';
    // A mail pasted between two rule lines.
    const int32_t rule_end = line_start ? RuleLineEnd(text, p, length) : -1;
    if (rule_end >= 0) {
      const int32_t end = PastedEnd(text, rule_end, length);
      if (end < 0) {
        p = rule_end;
        continue;
      }
      BlankKeepingLineEnds(out, rule_end, end);
      p = RuleLineEnd(text, end, length);
      continue;
    }
    // A line quoted from another mail: "> ..." or "＞ ...", or set off by
    // two blanks or a tab, as a list post pastes a mail into its text.
    if (line_start && (text[p] == '>' || text[p] == '\t' || At(text, p, length, "\x81\x84") ||
                       At(text, p, length, "  "))) {
      const int32_t end = LineEnd(text, p, length);
      BlankKeepingLineEnds(out, p, end);
      p = end;
      continue;
    }
    const char* example = nullptr;
    for (const char* mark : kExampleMarks) {
      if (At(text, p, length, mark)) example = mark;
    }
    if (example != nullptr) {
      const int32_t from = p + static_cast<int32_t>(std::strlen(example));
      const int32_t end = ExampleEnd(text, from, length);
      BlankKeepingLineEnds(out, from, end);
      p = end;
      continue;
    }
    p += CharacterSize(text, p, length);
  }
  BlankAnnouncedPastes(text, length, out);
  return out;
}

}  // namespace zvrx
