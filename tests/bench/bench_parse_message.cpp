// ParseMessage on a 20 KB ISO-2022-JP message: the Japanese fixture's header
// (two encoded words) and its JIS body repeated to 20,000 bytes, copied into
// the buffer afresh for every parse (the copy is part of the figure).
#include <benchmark/benchmark.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "checker/analysis/parse_message.h"
#include "checker/core/pop3_client.h"

namespace {

std::string TwentyKilobyteMessage() {
  std::ifstream in(std::string(ZVRX_SOURCE_DIR) + "/tests/data/mail/jis_greeting.eml",
                   std::ios::binary);
  const std::string fixture((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const size_t body_at = fixture.find("\r\n\r\n") + 4;
  std::string text = fixture;
  while (text.size() < static_cast<size_t>(zvrx::kBodyTextSize)) text += fixture.substr(body_at);
  text.resize(zvrx::kBodyTextSize - 2);
  return text + "\r\n";
}

void BM_ParseMessageJis20K(benchmark::State& state) {
  const std::string message = TwentyKilobyteMessage();
  std::vector<char> buffer(zvrx::kBodyTextSize + zvrx::kReceiveBufferSize, '\0');
  zvrx::MailRecord record;
  zvrx::ShiftJisConverter converter;
  for (auto _ : state) {
    std::memcpy(buffer.data(), message.data(), message.size());
    buffer[message.size()] = '\0';
    int16_t text_length = static_cast<int16_t>(message.size() - 1);
    zvrx::ParseMessage(buffer.data(), text_length, record, converter);
    benchmark::DoNotOptimize(buffer.data());
    benchmark::DoNotOptimize(record);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(message.size()));
}
BENCHMARK(BM_ParseMessageJis20K);

}  // namespace
