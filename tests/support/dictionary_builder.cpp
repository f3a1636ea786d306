#include "tests/support/dictionary_builder.h"

#include <algorithm>
#include <cstring>

#include "shared/data_scramble.h"
#include "shared/dictionary_format.h"
#include "tests/support/temp_prefix.h"

namespace zvrx::test {

namespace {

void PutText(std::string& bytes, size_t offset, const std::string& text, size_t field) {
  std::memcpy(bytes.data() + offset, text.data(), std::min(text.size(), field));
}

void PutBe32(std::string& bytes, size_t offset, uint32_t value) {
  WriteBe32(bytes.data() + offset, value);
}

}  // namespace

std::string BuildCompanionFile(const DictionaryContents& contents) {
  std::string text;
  for (const EntryContents& entry : contents.entries) {
    if (entry.forms.empty()) continue;
    for (size_t i = 0; i < entry.forms.size(); ++i) {
      if (i > 0) text += ',';
      text += entry.forms[i];
    }
    text += "\r\n";
  }
  DataScramble(text.data(), text.size());
  return text;
}

std::string BuildDictionaryFile(const DictionaryContents& contents) {
  std::string bytes(kDictHeaderSize + contents.entries.size() * kEntrySize, '\0');
  PutText(bytes, kDictCategoryOffset, contents.category, kDictCategorySize - 1);
  PutText(bytes, kDictCompanionNameOffset, contents.companion_name, kDictCompanionNameSize - 1);
  PutBe32(bytes, kDictLanguageOffset, static_cast<uint32_t>(contents.language));
  PutBe32(bytes, kDictFlagsOffset, contents.scrambled ? kDictFlagScrambled : 0);
  PutBe32(bytes, kDictEntryCountOffset, static_cast<uint32_t>(contents.entries.size()));

  int32_t line = 0;
  for (size_t i = 0; i < contents.entries.size(); ++i) {
    const EntryContents& entry = contents.entries[i];
    const size_t base = kDictHeaderSize + i * kEntrySize;
    if (contents.scrambled) {
      std::string word = entry.word.substr(0, kMaxWordLength);
      bytes[base] = static_cast<char>(word.size());
      ScrambleWordBytes(reinterpret_cast<uint8_t*>(word.data()), static_cast<int>(word.size()));
      PutText(bytes, base + 1, word, kMaxWordLength);
    } else {
      PutText(bytes, base, entry.word, kMaxWordLength);
    }
    PutBe32(bytes, base + kEntryWeightOffset, static_cast<uint32_t>(entry.weight));
    int32_t own_line = -1;
    if (!entry.forms.empty()) {
      own_line = line;
      for (const std::string& form : entry.forms) line += static_cast<int32_t>(form.size()) + 1;
      line += 1;  // the separators are one fewer than the forms, then CR LF
    }
    PutBe32(bytes, base + kEntryCompanionLineOffset, static_cast<uint32_t>(own_line));
    for (size_t k = 0; k < entry.follow_ups.size() && k < kFollowUpSlotCount; ++k) {
      const size_t slot = base + kEntryFirstSlotOffset + k * kFollowUpSlotSize;
      PutBe32(bytes, slot + kSlotRelatedOffset, static_cast<uint32_t>(entry.follow_ups[k].related));
      PutBe32(bytes, slot + kSlotWeightAOffset, static_cast<uint32_t>(entry.follow_ups[k].weight_a));
      PutBe32(bytes, slot + kSlotWeightBOffset, static_cast<uint32_t>(entry.follow_ups[k].weight_b));
    }
  }
  return bytes;
}

void WriteDictionary(const std::string& install_root_host, const std::string& file_name,
                     const DictionaryContents& contents) {
  const std::string folder = install_root_host + "/Method/";
  WriteHostFile(folder + file_name, BuildDictionaryFile(contents));
  if (!contents.companion_name.empty()) {
    WriteHostFile(folder + contents.companion_name, BuildCompanionFile(contents));
  }
}

std::string BuildSubjectTable(bool ignore_case, int16_t lower, int16_t upper,
                              const std::vector<std::pair<std::string, int32_t>>& keywords) {
  std::string bytes(kSubjectHeaderSize + keywords.size() * kSubjectRecordSize, '\0');
  WriteBe16(bytes.data() + kSubjectCaseFlagOffset, ignore_case ? 1 : 0);
  WriteBe16(bytes.data() + kSubjectLowerOffset, static_cast<uint16_t>(lower));
  WriteBe16(bytes.data() + kSubjectUpperOffset, static_cast<uint16_t>(upper));
  WriteBe16(bytes.data() + kSubjectCountOffset, static_cast<uint16_t>(keywords.size()));
  for (size_t i = 0; i < keywords.size(); ++i) {
    const size_t base = kSubjectHeaderSize + i * kSubjectRecordSize;
    PutText(bytes, base, keywords[i].first, kSubjectKeywordSize - 1);
    PutBe32(bytes, base + kSubjectWeightOffset, static_cast<uint32_t>(keywords[i].second));
  }
  DataScramble(bytes.data(), bytes.size());
  return bytes;
}

std::string BuildThresholds(const std::array<int32_t, 8>& p) {
  std::string bytes(kThresholdFileSize, '\0');
  for (int i = 0; i < kThresholdCount; ++i) {
    PutBe32(bytes, 4 * i, static_cast<uint32_t>(p[i]));
  }
  return bytes;
}

void WriteJudgmentFiles(const std::string& data_folder_host,
                        const std::array<int32_t, 8>& thresholds, const std::string& anonymous) {
  const std::string data = data_folder_host + "/";
  WriteHostFile(data + "kZVj-128", BuildThresholds(thresholds));
  WriteHostFile(data + "ZVRd-128", BuildSubjectTable(false, 1500, 6000, {}));
  WriteHostFile(data + "ZVRd-129", BuildSubjectTable(true, 1500, 6000, {}));
  if (anonymous.empty()) return;
  std::string scrambled = anonymous;
  DataScramble(scrambled.data(), scrambled.size());
  WriteHostFile(data + "ZVRk-128", scrambled);
  WriteHostFile(data + "ZVRk-129", scrambled);
}

}  // namespace zvrx::test
