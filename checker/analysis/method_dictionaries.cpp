#include "checker/analysis/method_dictionaries.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "checker/mime/folding.h"
#include "platform/files.h"
#include "shared/data_scramble.h"
#include "shared/records.h"

namespace zvrx {

namespace {

// A switched-off slot holds a file name cut to this many bytes.
constexpr size_t kSwitchedOffNameLength = kDictionaryNameSize - 1;

bool QualifiesAsDictionary(const std::string& name) {
  if (name.empty() || name[0] < '0' || name[0] > '9') return false;
  return name.find("..") == std::string::npos && name.find("lib") == std::string::npos &&
         name.find("LIB") == std::string::npos;
}

// A word or an item ends at NUL, comma or TAB.
int WordLength(const char* text, int limit) {
  int length = 0;
  while (length < limit && text[length] != '\0' && text[length] != ',' &&
         text[length] != '\t') {
    ++length;
  }
  return length;
}

// Only the low 16 bits of a follow-up's entry number count.
int16_t RelatedNumber(const FollowUpSlot& slot) {
  return static_cast<int16_t>(static_cast<uint32_t>(slot.related) & 0xFFFFu);
}

bool ParseEntry(const char* bytes, bool scrambled, int32_t entry_count, DictionaryEntry& entry) {
  std::memcpy(entry.word, bytes + kEntryWordOffset, kEntryWordSize);
  int32_t integers[kEntryIntegerCount];
  for (int k = 0; k < kEntryIntegerCount; ++k) {
    integers[k] = ReadBe32(bytes + kEntryWeightOffset + 4 * k);
  }
  std::memcpy(reinterpret_cast<char*>(&entry) + kEntryWeightOffset, integers, sizeof(integers));

  // Working fields of the scan start at zero whatever the file holds.
  entry.hit_count = 0;
  for (FollowUpSlot& slot : entry.slots) {
    slot.count_a = 0;
    slot.count_b = 0;
    const int16_t related = RelatedNumber(slot);
    if (related > entry_count) return false;  // points past the last entry
  }

  if (scrambled) {
    const int length = static_cast<uint8_t>(entry.word[0]);
    if (length > kMaxWordLength) return false;
    auto* word = reinterpret_cast<uint8_t*>(entry.word);
    ScrambleWordBytes(word + 1, length);
    std::memmove(word, word + 1, length);
    std::memset(word + length, 0, kEntryWordSize - length);
  } else if (std::memchr(entry.word, '\0', kEntryWordSize) == nullptr) {
    return false;  // the word would run into the weight
  }
  return true;
}

struct BucketedSpelling {
  int bucket;
  BucketSpelling spelling;
};

void AddToBuckets(const char* word, int length, int32_t entry, int32_t item,
                  std::vector<BucketedSpelling>& spellings) {
  if (length <= 0) return;
  BucketSpelling spelling{entry, item, static_cast<uint8_t>(word[0]), 0,
                          static_cast<uint8_t>(length), length == 1};
  if (length >= 2) {
    spelling.second = static_cast<uint8_t>(word[1]);
    spellings.push_back({EntryBucket(spelling.first, spelling.second), spelling});
    return;
  }
  // A one-byte word matches whatever follows it: it goes into every bucket
  // its first byte can lead to, once each.
  std::vector<bool> seen(kEntryBuckets, false);
  for (int next = 0; next < 256; ++next) {
    const int bucket = EntryBucket(spelling.first, static_cast<uint8_t>(next));
    if (seen[bucket]) continue;
    seen[bucket] = true;
    spellings.push_back({bucket, spelling});
  }
}

void BuildEntryBuckets(MethodDictionary& dictionary) {
  std::vector<BucketedSpelling> spellings;
  for (size_t i = 0; i < dictionary.entries.size(); ++i) {
    const int32_t entry = static_cast<int32_t>(i);
    AddToBuckets(dictionary.entries[i].word, dictionary.word_lengths[i], entry, -1, spellings);
    for (int32_t k = dictionary.item_begin[i]; k < dictionary.item_begin[i + 1]; ++k) {
      const CompanionItem& item = dictionary.items[k];
      AddToBuckets(dictionary.companion.data() + item.offset, item.length, entry, k, spellings);
    }
  }
  // Spellings were added in the scan's order; a stable sort by bucket keeps it.
  std::stable_sort(spellings.begin(), spellings.end(),
                   [](const BucketedSpelling& a, const BucketedSpelling& b) {
                     return a.bucket < b.bucket;
                   });
  dictionary.bucket_begin.assign(kEntryBuckets + 1, 0);
  dictionary.bucket_spellings.clear();
  dictionary.bucket_spellings.reserve(spellings.size());
  for (const BucketedSpelling& s : spellings) {
    ++dictionary.bucket_begin[s.bucket + 1];
    dictionary.bucket_spellings.push_back(s.spelling);
  }
  for (int b = 0; b < kEntryBuckets; ++b) {
    dictionary.bucket_begin[b + 1] += dictionary.bucket_begin[b];
  }
}

}  // namespace

std::vector<std::string> CollectDictionaryNames(const std::vector<std::string>& listing) {
  std::vector<std::string> names;
  for (const std::string& name : listing) {
    if (static_cast<int>(names.size()) == kMaxDictionaries) break;
    if (QualifiesAsDictionary(name)) names.push_back(name);
  }
  // std::string compares bytes as unsigned, which is the byte order wanted.
  std::sort(names.begin(), names.end());
  return names;
}

bool IsSwitchedOff(const JudgmentSettings* settings, const std::string& name) {
  if (settings == nullptr) return false;
  for (int s = 0; s < kDictionarySlots; ++s) {
    const char* slot = settings->disabled_dictionaries[s];
    const size_t length = strnlen(slot, kSwitchedOffNameLength);
    if (length > 0 && name.size() >= length && std::memcmp(name.data(), slot, length) == 0) {
      return true;
    }
  }
  return false;
}

bool ParseDictionaryFile(const char* bytes, size_t size, MethodDictionary& out,
                         std::string* why) {
  auto refuse = [why](const char* reason) {
    if (why != nullptr) *why = reason;
    return false;
  };
  if (size < static_cast<size_t>(kDictHeaderSize)) return refuse("shorter than its header");
  DictionaryHeader& header = out.header;
  std::memcpy(&header, bytes, kDictTextAreaSize);
  header.companion_text = 0;  // only meaningful in memory; we keep the text beside it
  header.language = ReadBe32(bytes + kDictLanguageOffset);
  header.flags = ReadBeU32(bytes + kDictFlagsOffset);
  header.entry_count = ReadBe32(bytes + kDictEntryCountOffset);

  // A name that fills its field is cut so it stays a string; a companion
  // name without its end would name some other file, so that is corrupt.
  header.category[kDictCategorySize - 1] = '\0';
  if (std::memchr(header.companion_name, '\0', kDictCompanionNameSize) == nullptr) {
    return refuse("companion name without its end");
  }
  if (header.language != kLanguageJapanese && header.language != kLanguageEnglish) {
    return refuse("unknown language class");
  }
  if ((header.flags & ~kDictFlagScrambled) != 0) return refuse("unknown flags");

  // The compiler writes the entries and nothing after them: a file of any
  // other size was cut or has something else in it.
  const int32_t count = header.entry_count;
  const size_t room = (size - kDictHeaderSize) / kEntrySize;
  if (count <= 0 || static_cast<size_t>(count) != room ||
      (size - kDictHeaderSize) % kEntrySize != 0) {
    return refuse("size does not match its entry count");
  }

  const bool scrambled = (header.flags & kDictFlagScrambled) != 0;
  out.entries.assign(count, DictionaryEntry{});
  out.word_lengths.assign(count, 0);
  for (int32_t i = 0; i < count; ++i) {
    const char* entry_bytes = bytes + kDictHeaderSize + static_cast<size_t>(i) * kEntrySize;
    if (!ParseEntry(entry_bytes, scrambled, count, out.entries[i])) return refuse("garbled entry");
    out.word_lengths[i] = static_cast<uint8_t>(WordLength(out.entries[i].word, kEntryWordSize));
  }
  AttachNoCompanion(out);
  return true;
}

void AttachNoCompanion(MethodDictionary& dictionary) {
  dictionary.companion.clear();
  dictionary.items.clear();
  dictionary.item_begin.assign(dictionary.entries.size() + 1, 0);
}

bool AttachCompanion(const char* raw, size_t size, MethodDictionary& dictionary) {
  AttachNoCompanion(dictionary);
  std::vector<char> text(raw, raw + size);
  DataScramble(text.data(), text.size());
  // TAB then marks the end of every line's list.
  std::replace(text.begin(), text.end(), '\r', '\t');
  text.push_back('\0');

  std::vector<CompanionItem> items;
  std::vector<int32_t> item_begin(dictionary.entries.size() + 1, 0);
  for (size_t i = 0; i < dictionary.entries.size(); ++i) {
    item_begin[i] = static_cast<int32_t>(items.size());
    const int32_t line = dictionary.entries[i].companion_line;
    if (line < 0) continue;
    if (static_cast<size_t>(line) >= size) return false;
    const char* start = text.data() + line;
    const char* end = static_cast<const char*>(std::memchr(start, '\t', size - line));
    if (end == nullptr) return false;  // the line runs off the end of the text
    while (start <= end) {
      const char* comma = static_cast<const char*>(std::memchr(start, ',', end - start));
      const char* item_end = comma != nullptr ? comma : end;
      // An item also ends at a NUL inside it.
      const int length = WordLength(start, static_cast<int>(item_end - start));
      // Empty items never match; longer ones than the matcher's area are
      // left out rather than cut, so a cut form cannot match more text.
      if (length > 0 && length <= kMaxCompanionItemLength) {
        items.push_back({static_cast<int32_t>(start - text.data()), length});
      }
      start = item_end + 1;
    }
  }
  item_begin[dictionary.entries.size()] = static_cast<int32_t>(items.size());

  dictionary.companion = std::move(text);
  dictionary.items = std::move(items);
  dictionary.item_begin = std::move(item_begin);
  return true;
}

bool AddDictionary(DictionarySet& set, MethodDictionary&& dictionary) {
  const int j = static_cast<int>(set.dictionaries.size());
  if (j >= kMaxDictionaries) return false;
  dictionary.bit = static_cast<uint16_t>(1u << j);
  for (size_t i = 0; i < dictionary.entries.size(); ++i) {
    // An empty word never matches, so it need not make anything a candidate.
    if (dictionary.word_lengths[i] > 0) {
      PrefilterRegister(set.prefilter, dictionary.entries[i].word, dictionary.word_lengths[i],
                        dictionary.bit);
    }
  }
  for (const CompanionItem& item : dictionary.items) {
    PrefilterRegister(set.prefilter, dictionary.companion.data() + item.offset, item.length,
                      dictionary.bit);
  }
  BuildEntryBuckets(dictionary);
  set.dictionaries.push_back(std::move(dictionary));
  set.count = static_cast<int16_t>(set.dictionaries.size());
  return true;
}

void FoldDictionarySet(const DictionarySet& written, DictionarySet& folded) {
  ClearDictionaries(folded);
  for (const MethodDictionary& source : written.dictionaries) {
    const mime::LanguageClass language = source.language() == kLanguageJapanese
                                             ? mime::LanguageClass::kJapanese
                                             : mime::LanguageClass::kEnglish;
    MethodDictionary copy = source;
    for (size_t i = 0; i < copy.entries.size(); ++i) {
      const std::string word =
          mime::FoldForMatching({copy.entries[i].word, copy.word_lengths[i]}, language);
      if (word.size() > static_cast<size_t>(kMaxWordLength)) continue;
      std::memset(copy.entries[i].word, 0, kEntryWordSize);
      std::memcpy(copy.entries[i].word, word.data(), word.size());
      copy.word_lengths[i] = static_cast<uint8_t>(word.size());
    }
    // The forms are laid out afresh, each ended by a TAB as in the file.
    std::vector<char> companion;
    for (CompanionItem& item : copy.items) {
      std::string form = mime::FoldForMatching(
          {source.companion.data() + item.offset, static_cast<size_t>(item.length)}, language);
      if (form.size() > static_cast<size_t>(kMaxCompanionItemLength)) {
        form.assign(source.companion.data() + item.offset, item.length);
      }
      item.offset = static_cast<int32_t>(companion.size());
      item.length = static_cast<int32_t>(form.size());
      companion.insert(companion.end(), form.begin(), form.end());
      companion.push_back('\t');
    }
    if (!copy.items.empty()) {
      companion.push_back('\0');
      copy.companion = std::move(companion);
    }
    AddDictionary(folded, std::move(copy));
  }
  folded.use_prefilter = written.use_prefilter;
}

void ClearDictionaries(DictionarySet& set) {
  set.dictionaries.clear();
  set.dictionaries.shrink_to_fit();
  set.prefilter.assign(kPrefilterSize, 0);
  set.count = 0;
}

void LoadMethodDictionaries(DictionarySet& set, const JudgmentSettings* settings,
                            const std::string& folder) {
  ClearDictionaries(set);
  set.problems.clear();
  if (!platform::FolderExists(folder)) return;

  for (const std::string& name : CollectDictionaryNames(platform::ListFolder(folder + "*.*"))) {
    if (IsSwitchedOff(settings, name)) continue;
    const std::string shown = "Method\\" + name;
    // The path and name share a 59-byte working area; a name that does not
    // fit is refused like an unreadable file.
    if (folder.size() + name.size() >= static_cast<size_t>(kMethodPathWorkSize)) {
      set.problems.push_back({shown, "refused (name too long)"});
      continue;
    }
    auto bytes = platform::ReadFileBytes(folder + name);
    if (!bytes) {
      set.problems.push_back({shown, UnreadableReason(folder + name)});
      continue;
    }

    MethodDictionary dictionary;
    dictionary.file_name = name;
    std::string why;
    if (!ParseDictionaryFile(bytes->data(), bytes->size(), dictionary, &why)) {
      set.problems.push_back({shown, "damaged (" + why + ")"});
      continue;
    }

    const std::string companion_name = dictionary.header.companion_name;
    if (!companion_name.empty() &&
        folder.size() + companion_name.size() < static_cast<size_t>(kMethodPathWorkSize)) {
      auto companion = platform::ReadFileBytes(folder + companion_name);
      // Without its companion file the dictionary still works on its words.
      if (!companion) {
        set.problems.push_back({"Method\\" + companion_name,
                                UnreadableReason(folder + companion_name)});
      } else if (!AttachCompanion(companion->data(), companion->size(), dictionary)) {
        set.problems.push_back({shown, "damaged (its companion file " + companion_name +
                                           " does not fit it)"});
        continue;
      }
    }
    AddDictionary(set, std::move(dictionary));
  }
}

}  // namespace zvrx
