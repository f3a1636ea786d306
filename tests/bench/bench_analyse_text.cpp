// Cost of AnalyseText per message, on 1 KB and 20 KB bodies, with the
// delivered dictionaries and with seven synthetic dictionaries of realistic
// size, with and without the prefilter. The threshold is set out of reach
// so every dictionary of the language is scanned (the worst case).
#include <benchmark/benchmark.h>

#include <climits>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "checker/analysis/method_dictionaries.h"
#include "checker/analysis/text_scoring.h"
#include "platform/cp932.h"
#include "shared/locations.h"
#include "tests/support/dictionary_builder.h"
#include "tests/support/sjis.h"
#include "tests/support/temp_prefix.h"

namespace zvrx {
namespace {

namespace fs = std::filesystem;

using test::Sjis;

constexpr int kSyntheticWords = 300;  // per dictionary

const char* const kJapaneseParagraph =
    "いつもご利用いただきありがとうございます。お客様のアカウントに異常なログインが"
    "確認されました。下記のリンクから本人確認をお願いします。期限内に確認がない場合、"
    "ご利用を制限させていただきます。また、今月の特別キャンペーンでは在宅でできる副業を"
    "ご紹介しています。誰でも簡単に月収百万円！詳しくはこちら。素敵な出会いをお探しの方は"
    "無料登録で今すぐメッセージを送れます。会議の資料を添付しましたのでご確認ください。\r\n";

const char* const kEnglishParagraph =
    "Dear customer, we noticed unusual sign-in activity on your account. Please verify your "
    "identity within 24 hours or your account will be suspended. Limited time offer: cheap "
    "meds without prescription, 80% off! Make money fast working from home, guaranteed "
    "income. Thanks for the meeting notes, see you on Friday at the office.\r\n";

std::string BodyOfSize(const std::string& paragraph, size_t size) {
  std::string body;
  while (body.size() < size) body += paragraph;
  body.resize(size);
  return body;
}

// A random Japanese word of two to four kana or kanji.
std::string RandomJapaneseWord(std::mt19937& rng) {
  static const std::vector<std::string> pieces = [] {
    std::vector<std::string> p;
    for (const char* s : {"無", "料", "出", "会", "副", "業", "金", "稼", "登", "録", "限", "定",
                          "確", "認", "口", "座", "融", "資", "即", "日", "お", "か", "ね", "で",
                          "あ", "い", "キ", "ャ", "ン", "ペ", "ー", "ポ", "イ", "ト", "薬", "安"}) {
      p.push_back(Sjis(s));
    }
    return p;
  }();
  std::string word;
  const int length = 2 + static_cast<int>(rng() % 3);
  for (int i = 0; i < length; ++i) word += pieces[rng() % pieces.size()];
  return word;
}

std::string RandomEnglishWord(std::mt19937& rng) {
  std::string word;
  const int length = 4 + static_cast<int>(rng() % 7);
  for (int i = 0; i < length; ++i) word += static_cast<char>('a' + rng() % 26);
  return word;
}

test::DictionaryContents SyntheticDictionary(int index, int32_t language, std::mt19937& rng) {
  test::DictionaryContents contents;
  // (append, not operator+: GCC 12 warns falsely about the latter at -O3)
  contents.category = std::string("synthetic ").append(std::to_string(index));
  contents.language = language;
  contents.scrambled = true;
  contents.companion_name = std::string("w").append(std::to_string(index));
  for (int i = 0; i < kSyntheticWords; ++i) {
    test::EntryContents entry;
    entry.word = language == kLanguageJapanese ? RandomJapaneseWord(rng) : RandomEnglishWord(rng);
    entry.weight = 1 + static_cast<int32_t>(rng() % 20);
    if (i % 3 == 0) {
      entry.forms = {language == kLanguageJapanese ? RandomJapaneseWord(rng)
                                                   : RandomEnglishWord(rng)};
    }
    if (i % 5 == 0) entry.follow_ups = {{1 + static_cast<int32_t>(rng() % kSyntheticWords), 2, 5}};
    contents.entries.push_back(entry);
  }
  return contents;
}

struct Fixture {
  test::TempPrefix prefix;
  ScoringState delivered;
  ScoringState synthetic;
  bool have_delivered = false;

  Fixture() {
    const fs::path dist = fs::path(ZVRX_BINARY_DIR) / "Installer Resources" / "Method";
    const std::string method = prefix.InstallRootHost() + "/Method";
    std::error_code ec;
    if (fs::is_directory(dist, ec)) {
      fs::copy(dist, method, fs::copy_options::recursive, ec);
      LoadMethodDictionaries(delivered.dictionaries, nullptr, MethodFolder());
      have_delivered = delivered.dictionaries.count > 0;
    }
    fs::remove_all(method, ec);
    std::mt19937 rng(12345);
    for (int i = 0; i < 7; ++i) {
      const int32_t language = i < 4 ? kLanguageJapanese : kLanguageEnglish;
      test::WriteDictionary(prefix.InstallRootHost(), std::to_string(i) + "synthetic",
                            SyntheticDictionary(i, language, rng));
    }
    LoadMethodDictionaries(synthetic.dictionaries, nullptr, MethodFolder());
    for (ScoringState* state : {&delivered, &synthetic}) state->tables.thresholds[2] = INT32_MAX;
  }
};

Fixture& Shared() {
  static Fixture fixture;
  return fixture;
}

// Arguments: body bytes, language, prefilter on, delivered (1) or synthetic (0).
void BM_AnalyseText(benchmark::State& bench) {
  Fixture& fixture = Shared();
  const bool delivered = bench.range(3) != 0;
  if (delivered && !fixture.have_delivered) {
    bench.SkipWithError("no delivered dictionaries in the build's distribution folder");
    return;
  }
  ScoringState& state = delivered ? fixture.delivered : fixture.synthetic;
  const int32_t language = static_cast<int32_t>(bench.range(1));
  state.dictionaries.use_prefilter = bench.range(2) != 0;
  const std::string paragraph =
      language == kLanguageJapanese ? Sjis(kJapaneseParagraph) : std::string(kEnglishParagraph);
  const std::string buffer = BodyOfSize(paragraph, static_cast<size_t>(bench.range(0))) +
                             std::string(1, '\0') + "Subject: x\r\nFrom: y\r\n";
  MailRecord record{};
  std::strcpy(record.subject, "hello");
  char category[kCategoryWorkSize];
  for (auto _ : bench) {
    const TextVerdict verdict = AnalyseText(state, buffer.data(),
                                            static_cast<int32_t>(buffer.size()), record,
                                            language, category);
    benchmark::DoNotOptimize(verdict);
  }
  state.dictionaries.use_prefilter = true;
  bench.SetBytesProcessed(static_cast<int64_t>(bench.iterations()) * bench.range(0));
}

BENCHMARK(BM_AnalyseText)
    ->ArgNames({"bytes", "lang", "prefilter", "delivered"})
    ->ArgsProduct({{1024, 20000}, {0, 1}, {1, 0}, {1, 0}})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace zvrx
