// Feeds arbitrary bytes to the Method dictionary parser and its companion
// file, then scans a small fixed text with whatever loaded. A corrupt file
// must be refused, never read past its end.
//
// Input: a 4-byte big-endian length n, n bytes of dictionary file, then the
// companion file's raw (scrambled) bytes; an empty remainder means none.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "checker/analysis/method_dictionaries.h"
#include "checker/analysis/text_scoring.h"
#include "shared/dictionary_format.h"

namespace {

// Japanese and English words, punctuation, sentence ends and line breaks,
// then the rest of the text behind the body's NUL.
const char kBody[] =
    "\x96\xb3\x97\xbf\x82\xc5\x8f\x6f\x89\xef\x82\xa2\x81\x42\x95\x9b\x8b\xc6\x82\xc5\x89\xd2"
    "\x82\xb0\x82\xe9\x81\x49\r\nFree money, cheap viagra! Click here. 100% $50 win?\r\n"
    "\x82\xa0\x82\xa2\x82\xa4\x83\x41\x83\x43\x81\x45" "abc\0Subject: rest of the text\r\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  size_t split = zvrx::ReadBeU32(data);
  if (split > size - 4) split = size - 4;
  const char* dictionary_bytes = reinterpret_cast<const char*>(data + 4);
  const char* companion_bytes = dictionary_bytes + split;
  const size_t companion_size = size - 4 - split;

  zvrx::MethodDictionary dictionary;
  if (!zvrx::ParseDictionaryFile(dictionary_bytes, split, dictionary)) return 0;
  if (companion_size > 0 &&
      !zvrx::AttachCompanion(companion_bytes, companion_size, dictionary)) {
    return 0;
  }

  zvrx::ScoringState state;
  zvrx::AddDictionary(state.dictionaries, std::move(dictionary));
  state.tables.thresholds[2] = 100;
  zvrx::MailRecord record{};
  std::strcpy(record.subject, "win money");
  record.extra_recipients = 3;
  char category[zvrx::kCategoryWorkSize];
  for (int32_t language : {zvrx::kLanguageJapanese, zvrx::kLanguageEnglish}) {
    for (bool prefilter : {true, false}) {
      state.dictionaries.use_prefilter = prefilter;
      zvrx::AnalyseText(state, kBody, static_cast<int32_t>(sizeof(kBody) - 1), record, language,
                        category);
    }
  }
  return 0;
}
