// The text scan on arbitrary bodies: one Japanese and one English
// dictionary with forms and follow-ups, the prefilter on and off, and two
// messages in a row through the same analysis buffer (the second shorter,
// so that positions the first one cached lie behind its end). Nothing may
// be read or written outside the buffer.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "checker/analysis/method_dictionaries.h"
#include "checker/analysis/text_scoring.h"
#include "shared/data_scramble.h"
#include "shared/dictionary_format.h"

namespace {

struct Entry {
  std::string word;
  int32_t weight;
  std::string forms;  // comma-separated, empty for none
  int32_t follow_up;  // 1-based entry number, 0 none
};

void PutBe32(std::string& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (24 - 8 * i));
}

zvrx::MethodDictionary Build(int32_t language, const std::vector<Entry>& entries) {
  std::string file(zvrx::kDictHeaderSize + zvrx::kEntrySize * entries.size(), '\0');
  std::memcpy(&file[zvrx::kDictCategoryOffset], "fuzz", 4);
  std::memcpy(&file[zvrx::kDictCompanionNameOffset], "wfuzz", 5);
  PutBe32(file, zvrx::kDictLanguageOffset, static_cast<uint32_t>(language));
  PutBe32(file, zvrx::kDictEntryCountOffset, static_cast<uint32_t>(entries.size()));
  std::string companion;
  for (size_t i = 0; i < entries.size(); ++i) {
    const size_t at = zvrx::kDictHeaderSize + zvrx::kEntrySize * i;
    std::memcpy(&file[at], entries[i].word.data(), entries[i].word.size());
    PutBe32(file, at + zvrx::kEntryWeightOffset, static_cast<uint32_t>(entries[i].weight));
    int32_t line = -1;
    if (!entries[i].forms.empty()) {
      line = static_cast<int32_t>(companion.size());
      companion += entries[i].forms + "\r\n";
    }
    PutBe32(file, at + zvrx::kEntryCompanionLineOffset, static_cast<uint32_t>(line));
    const size_t slot = at + zvrx::kEntryFirstSlotOffset;
    PutBe32(file, slot + zvrx::kSlotRelatedOffset, static_cast<uint32_t>(entries[i].follow_up));
    PutBe32(file, slot + zvrx::kSlotWeightAOffset, 3);
    PutBe32(file, slot + zvrx::kSlotWeightBOffset, 7);
  }
  zvrx::MethodDictionary dictionary;
  if (!zvrx::ParseDictionaryFile(file.data(), file.size(), dictionary)) __builtin_trap();
  zvrx::DataScramble(companion.data(), companion.size());
  if (!zvrx::AttachCompanion(companion.data(), companion.size(), dictionary)) __builtin_trap();
  return dictionary;
}

zvrx::ScoringState& State() {
  static zvrx::ScoringState* state = [] {
    auto* s = new zvrx::ScoringState;
    // 無料, 出会い, 副業 with forms, and a follow-up pair.
    zvrx::AddDictionary(
        s->dictionaries,
        Build(zvrx::kLanguageJapanese,
              {{"\x96\xb3\x97\xbf", 10, "\x82\xd4\x82\xe8\x81\x5b,\xcc\xd8\xb0", 2},
               {"\x8f\x6f\x89\xef\x82\xa2", 20, "", 3},
               {"\x95\x9b\x8b\xc6", 5, "\x82\xd3\x82\xad\x82\xac\x82\xe5\x82\xa4", 1}}));
    zvrx::AddDictionary(s->dictionaries,
                        Build(zvrx::kLanguageEnglish, {{"viagra", 30, "v1agra,v.i.a", 2},
                                                       {"click here", 10, "", 1},
                                                       {"win", 4, "winner,won", 0}}));
    s->tables.thresholds[2] = 1 << 30;  // every dictionary is scanned
    return s;
  }();
  return *state;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > static_cast<size_t>(zvrx::kAnalysisBufferSize)) size = zvrx::kAnalysisBufferSize;
  // The body as ParseMessage leaves it: text, a NUL, the rest behind it.
  std::string text(reinterpret_cast<const char*>(data), size);
  text.push_back('\0');
  zvrx::ScoringState& state = State();
  zvrx::MailRecord record{};
  char category[zvrx::kCategoryWorkSize];
  for (bool prefilter : {true, false}) {
    state.dictionaries.use_prefilter = prefilter;
    for (int32_t language : {zvrx::kLanguageJapanese, zvrx::kLanguageEnglish}) {
      zvrx::AnalyseText(state, text.data(), static_cast<int32_t>(text.size()), record, language,
                        category);
      const int32_t half = static_cast<int32_t>(text.size() / 2);
      zvrx::AnalyseText(state, text.data(), half, record, language, category);
    }
  }
  return 0;
}
