// Cost of the platform's text boundary: every file operation converts its
// path, and the checker converts message text for display.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/cp932.h"
#include "platform/drives.h"

namespace {

// 20,000 bytes of mixed Japanese and ASCII, the size of a message text.
std::string JapaneseText() {
  std::string text;
  while (text.size() < 20000) text += "\x8c\x9f\x8d\xb8 Subject: \x83\x5c\x95\x5c\xbd\xc0\xb0\xc4\r\n";
  text.resize(20000);
  return text;
}

void BM_Cp932ToUtf8(benchmark::State& state) {
  const std::string text = JapaneseText();
  for (auto _ : state) benchmark::DoNotOptimize(zvrx::platform::Cp932ToUtf8(text));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_Cp932ToUtf8);

void BM_Utf8ToCp932(benchmark::State& state) {
  const std::string text = zvrx::platform::Cp932ToUtf8(JapaneseText());
  for (auto _ : state) benchmark::DoNotOptimize(zvrx::platform::Utf8ToCp932(text));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_Utf8ToCp932);

void BM_HostPath(benchmark::State& state) {
  zvrx::platform::SetPrefix("/tmp/zvrx-bench");
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        zvrx::platform::HostPath("C:\\Program Files\\ZVRX\\Zvrx Staffs\\ZVmi128"));
  }
}
BENCHMARK(BM_HostPath);

}  // namespace
