#include "tools/datac/dictionary_writer.h"

#include <cstring>

#include "shared/data_scramble.h"
#include "shared/dictionary_format.h"

namespace zvrx::datac {
namespace {

void PutText(std::string& out, size_t offset, const std::string& text) {
  std::memcpy(out.data() + offset, text.data(), text.size());
}

void PutBe32(std::string& out, size_t offset, int64_t value) {
  WriteBe32(out.data() + offset, static_cast<uint32_t>(value));
}

}  // namespace

CompiledDictionary CompileDictionary(const DictionarySource& source) {
  CompiledDictionary compiled;

  // Companion lines first: entries point at their line's first byte.
  std::string companion_plain;
  std::vector<int32_t> line_offsets(source.entries.size(), -1);
  for (size_t e = 0; e < source.entries.size(); ++e) {
    const auto& forms = source.entries[e].forms;
    if (forms.empty()) continue;
    line_offsets[e] = static_cast<int32_t>(companion_plain.size());
    for (size_t f = 0; f < forms.size(); ++f) {
      if (f > 0) companion_plain += ',';
      companion_plain += forms[f];
    }
    companion_plain += "\r\n";
  }
  if (!companion_plain.empty()) {
    compiled.companion_name = CompanionFileName(source.name);
    compiled.companion = companion_plain;
    DataScramble(compiled.companion.data(), compiled.companion.size());
  }

  std::string& out = compiled.dictionary;
  out.assign(kDictHeaderSize + kEntrySize * source.entries.size(), '\0');
  PutText(out, kDictCategoryOffset, source.category);
  PutText(out, kDictCompanionNameOffset, compiled.companion_name);
  PutBe32(out, kDictLanguageOffset, source.language);
  PutBe32(out, kDictFlagsOffset, source.scrambled ? kDictFlagScrambled : 0);
  PutBe32(out, kDictEntryCountOffset, static_cast<int64_t>(source.entries.size()));

  for (size_t e = 0; e < source.entries.size(); ++e) {
    const EntrySource& entry = source.entries[e];
    const size_t base = kDictHeaderSize + kEntrySize * e;
    if (source.scrambled) {
      out[base + kEntryWordOffset] = static_cast<char>(entry.word.size());
      PutText(out, base + kEntryWordOffset + 1, entry.word);
      ScrambleWordBytes(reinterpret_cast<uint8_t*>(out.data() + base + kEntryWordOffset + 1),
                        static_cast<int>(entry.word.size()));
    } else {
      PutText(out, base + kEntryWordOffset, entry.word);
    }
    PutBe32(out, base + kEntryWeightOffset, entry.weight);
    PutBe32(out, base + kEntryCompanionLineOffset, line_offsets[e]);
    for (size_t k = 0; k < entry.follow_ups.size(); ++k) {
      const size_t slot = base + kEntryFirstSlotOffset + kFollowUpSlotSize * k;
      const FollowUpSource& follow = entry.follow_ups[k];
      PutBe32(out, slot + kSlotRelatedOffset, follow.related);
      PutBe32(out, slot + kSlotWeightAOffset, follow.weight_a);
      PutBe32(out, slot + kSlotWeightBOffset, follow.weight_b);
    }
  }
  return compiled;
}

}  // namespace zvrx::datac
