#include "tools/datac/dictionary_source.h"

#include <string_view>

#include "shared/dictionary_format.h"

namespace zvrx::datac {
namespace {

bool HasUpperAscii(const std::string& s) {
  for (char c : s) {
    if (c >= 'A' && c <= 'Z') return true;
  }
  return false;
}

// Checks one word or companion form in CP932; empty result when it is usable.
std::string CheckWord(const std::string& word, int32_t language, const char* what) {
  if (word.size() < static_cast<size_t>(kMinWordLength)) {
    return std::string(what) + " shorter than 3 bytes can never be found";
  }
  if (word.size() > static_cast<size_t>(kMaxWordLength)) {
    return std::string(what) + " longer than 55 bytes";
  }
  if (word.find_first_of(std::string_view(",\t\r\n\0", 5)) != std::string::npos) {
    return std::string(what) + " contains a comma, TAB or line break";
  }
  // English text is lowered before the scan.
  if (language == kLanguageEnglish && HasUpperAscii(word)) {
    return std::string(what) + " has upper-case letters, which English text never has";
  }
  return {};
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

std::optional<std::string> ConvertOrReport(const std::string& utf8, const SourceFile& file,
                                           int line, Diagnostics& diag) {
  auto converted = platform::Utf8ToCp932Exactly(utf8);
  if (!converted) diag.Error(file.path, line, "'" + utf8 + "' has characters outside CP932");
  return converted;
}

bool ParseEntryLine(const SourceFile& file, const SourceLine& line, DictionarySource& dict,
                    Diagnostics& diag) {
  const auto fields = SplitTrimmed(line.text, '|');
  const size_t errors_before = diag.errors.size();
  EntrySource entry;
  entry.line = line.number;
  if (fields.size() < 2) {
    diag.Error(file.path, line.number, "expected 'word | weight'");
    return false;
  }
  if (auto word = ConvertOrReport(fields[0], file, line.number, diag)) {
    entry.word = *word;
    const std::string problem = CheckWord(entry.word, dict.language, "word");
    if (!problem.empty()) diag.Error(file.path, line.number, problem);
  }
  if (auto weight = ParseInteger(fields[1], -kMaxWeight, kMaxWeight)) {
    entry.weight = static_cast<int32_t>(*weight);
  } else {
    diag.Error(file.path, line.number, "bad weight '" + fields[1] + "'");
  }
  for (size_t f = 2; f < fields.size(); ++f) {
    const auto header = ParseHeaderLine(fields[f]);
    if (header && header->key == "forms" && entry.forms.empty()) {
      for (const auto& form_utf8 : SplitTrimmed(header->value, ',')) {
        auto form = ConvertOrReport(form_utf8, file, line.number, diag);
        if (!form) continue;
        const std::string problem = CheckWord(*form, dict.language, "form");
        if (!problem.empty()) {
          diag.Error(file.path, line.number, problem + ": '" + form_utf8 + "'");
          continue;
        }
        entry.forms.push_back(*form);
      }
    } else if (header && header->key == "then" && entry.follow_ups.empty()) {
      for (const auto& item : SplitTrimmed(header->value, ',')) {
        const auto parts = SplitTrimmed(item, ':');
        if (parts.size() != 3) {
          diag.Error(file.path, line.number, "follow-up '" + item + "' is not word:A:B");
          continue;
        }
        FollowUpSource follow;
        auto word = ConvertOrReport(parts[0], file, line.number, diag);
        auto a = ParseInteger(parts[1], -kMaxWeight, kMaxWeight);
        auto b = ParseInteger(parts[2], -kMaxWeight, kMaxWeight);
        if (!a || !b) {
          diag.Error(file.path, line.number, "bad follow-up weight in '" + item + "'");
        }
        if (!word || !a || !b) continue;
        follow.word = *word;
        follow.weight_a = static_cast<int32_t>(*a);
        follow.weight_b = static_cast<int32_t>(*b);
        entry.follow_ups.push_back(follow);
      }
      if (entry.follow_ups.size() > static_cast<size_t>(kFollowUpSlotCount)) {
        diag.Error(file.path, line.number, "more than 4 follow-up words");
      }
    } else {
      diag.Error(file.path, line.number,
                 "expected 'forms: ...' or 'then: ...' (each once), found '" + fields[f] + "'");
    }
  }
  if (diag.errors.size() != errors_before) return false;
  dict.entries.push_back(std::move(entry));
  return true;
}

// An entry that an earlier entry always beats at the same position never
// gets a hit, which is a mistake in the source when it carries a weight.
void CheckShadowing(const SourceFile& file, const DictionarySource& dict, Diagnostics& diag) {
  for (size_t j = 0; j < dict.entries.size(); ++j) {
    const EntrySource& later = dict.entries[j];
    if (later.weight == 0) continue;
    for (size_t i = 0; i < j; ++i) {
      const EntrySource& earlier = dict.entries[i];
      bool beaten = StartsWith(later.word, earlier.word);
      for (const auto& form : earlier.forms) beaten = beaten || StartsWith(later.word, form);
      if (beaten) {
        diag.Error(file.path, later.line,
                   "word never matches: the entry of line " + std::to_string(earlier.line) +
                       " matches first (put longer words first)");
        break;
      }
    }
  }
}

void ResolveFollowUps(const SourceFile& file, DictionarySource& dict, Diagnostics& diag) {
  for (auto& entry : dict.entries) {
    for (auto& follow : entry.follow_ups) {
      for (size_t k = 0; k < dict.entries.size(); ++k) {
        if (dict.entries[k].word == follow.word) {
          follow.related = static_cast<int>(k) + 1;
          break;
        }
      }
      if (follow.related == 0) {
        diag.Error(file.path, entry.line,
                   "unknown follow-up word (not an entry of this dictionary)");
      }
    }
  }
}

}  // namespace

std::string CheckDictionaryName(const std::string& name) {
  if (name.empty() || name[0] < '0' || name[0] > '9') {
    return "dictionary file name must start with a digit";
  }
  if (name.find("..") != std::string::npos || name.find("lib") != std::string::npos ||
      name.find("LIB") != std::string::npos) {
    return "dictionary file name must not contain '..', 'lib' or 'LIB'";
  }
  if (name.size() > static_cast<size_t>(kMaxDictionaryNameLength)) {
    return "dictionary file name longer than 28 bytes";
  }
  for (char c : name) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                    (c >= '0' && c <= '9') || c == '_' || c == '-';
    if (!ok) return "dictionary file name may hold only letters, digits, '_' and '-'";
  }
  return {};
}

std::string CompanionFileName(const std::string& dictionary_name) {
  return "w" + dictionary_name;
}

std::optional<DictionarySource> ParseDictionary(const SourceFile& file, const std::string& name,
                                                Diagnostics& diag) {
  const size_t errors_before = diag.errors.size();
  DictionarySource dict;
  dict.name = name;
  const std::string name_problem = CheckDictionaryName(name);
  if (!name_problem.empty()) diag.Error(file.path, 0, name_problem);

  bool have_category = false;
  bool have_language = false;
  bool in_entries = false;
  for (const auto& line : file.lines) {
    const bool is_entry = line.text.find('|') != std::string::npos;
    if (!is_entry && !in_entries) {
      const auto header = ParseHeaderLine(line.text);
      if (header && header->key == "category") {
        if (auto category = ConvertOrReport(header->value, file, line.number, diag)) {
          if (category->empty() || category->size() > static_cast<size_t>(kMaxCategoryLength)) {
            diag.Error(file.path, line.number,
                       "category name must be 1 to 30 bytes in CP932 (the work log shows "
                       "no more)");
          }
          dict.category = *category;
        }
        have_category = true;
      } else if (header && header->key == "language") {
        if (header->value == "ja") {
          dict.language = kLanguageJapanese;
        } else if (header->value == "en") {
          dict.language = kLanguageEnglish;
        } else {
          diag.Error(file.path, line.number, "language must be 'ja' or 'en'");
        }
        have_language = true;
      } else if (header && header->key == "scramble") {
        if (header->value == "yes" || header->value == "no") {
          dict.scrambled = header->value == "yes";
        } else {
          diag.Error(file.path, line.number, "scramble must be 'yes' or 'no'");
        }
      } else {
        diag.Error(file.path, line.number,
                   "expected 'category:', 'language:', 'scramble:' or 'word | weight'");
      }
      continue;
    }
    if (!in_entries) {
      in_entries = true;
      if (!have_category) diag.Error(file.path, line.number, "entries before 'category:'");
      if (!have_language) diag.Error(file.path, line.number, "entries before 'language:'");
    }
    if (!is_entry) {
      diag.Error(file.path, line.number, "expected 'word | weight'");
      continue;
    }
    ParseEntryLine(file, line, dict, diag);
  }
  if (!in_entries) diag.Error(file.path, 0, "no entries");
  if (dict.entries.size() > 0x7FFF) diag.Error(file.path, 0, "more than 32767 entries");
  ResolveFollowUps(file, dict, diag);
  CheckShadowing(file, dict, diag);
  if (diag.errors.size() != errors_before) return std::nullopt;
  return dict;
}

}  // namespace zvrx::datac
