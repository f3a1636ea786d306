// What the settings pages compute from files: indexing a work log at the
// page's opening, stepping its view through the whole log a line at a time,
// and taking the addresses out of a text file for a list page.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <string_view>

#include "settings/model/address_reader.h"
#include "settings/model/log_view.h"

namespace {

// A log of `records` deletion records, four lines each, as the checker
// writes them (CR LF, CP932 bytes stand in as plain ones for the cost).
std::string SampleLog(int records) {
  std::string log;
  for (int i = 0; i < records; ++i) {
    log += "26.12.10  08:05      deleted as money and side-job mail\r\n";
    log += "                         (From :sender" + std::to_string(i) + " <cash@example.net>)\r\n";
    log += "                         (Subject :earn fifty thousand a month at home)\r\n";
    log += "\r\n";
  }
  return log;
}

// The whole-file pass at opening: 10,000 lines (2,500 records).
void BM_IndexLog10kLines(benchmark::State& state) {
  const std::string log = SampleLog(2500);
  for (auto _ : state) benchmark::DoNotOptimize(zvrx::IndexLog(log));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * log.size()));
}
BENCHMARK(BM_IndexLog10kLines);

// Every line step from the top to the end of a 10,000-line log: each
// crossing into the next block reads that block from the "file".
void BM_LogViewLineStepsThroughLog(benchmark::State& state) {
  const std::string log = SampleLog(2500);
  const zvrx::LogIndex index = zvrx::IndexLog(log);
  int64_t steps = 0;
  for (auto _ : state) {
    zvrx::LogView view([&log](int64_t offset, char* out, size_t size) {
      if (offset < 0 || static_cast<size_t>(offset) + size > log.size()) return false;
      std::memcpy(out, log.data() + offset, size);
      return true;
    });
    view.Open(index);
    while (view.Scroll(zvrx::LogScroll::kLineDown)) ++steps;
    benchmark::DoNotOptimize(view.text());
  }
  state.SetItemsProcessed(steps);  // items = line steps
}
BENCHMARK(BM_LogViewLineStepsThroughLog);

// A 200,000-byte text (the largest Read takes) with an address every ~60 bytes.
void BM_ReadAddresses200k(benchmark::State& state) {
  std::string text;
  for (int i = 0; text.size() < 200000 - 80; ++i) {
    text += "To: \"Someone " + std::to_string(i) + "\" <user" + std::to_string(i) +
            "@mail.example.jp>,\r\n";
  }
  int64_t found = 0;
  for (auto _ : state) {
    zvrx::AddressReader reader(text);
    std::string_view address;
    while (reader.Next(address)) ++found;
  }
  state.SetItemsProcessed(found);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ReadAddresses200k);

}  // namespace
