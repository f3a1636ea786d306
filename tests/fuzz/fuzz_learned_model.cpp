// Arbitrary bytes as a learned model file, as read and as sealed with a
// fresh checksum (so the checks behind the checksum run too), and as the
// analysis text and Subject of a message in both language classes: a
// model is taken only when it is sound, and then writes back to the same
// bytes and scores any tokens without reading past its table.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "checker/analysis/learned_judgment.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void TryModel(const std::vector<uint8_t>& bytes, const std::vector<uint64_t>& tokens) {
  zvrx::LearnedModel model;
  const std::string why = zvrx::ParseLearnedModel(bytes, model);
  Check(why.empty() == model.loaded);
  if (!model.loaded) {
    Check(model.hashes.empty());
    return;
  }
  Check(zvrx::SerializeLearnedModel(model) == bytes);
  for (int language = 0; language < 2; ++language) {
    Check(model.Threshold(language, -1) >= model.Threshold(language, 0));
    Check(model.Threshold(language, 0) >= model.Threshold(language, 1));
  }
  // Each token's weight, and the margin: its bias and at most every
  // token's margin weight over the square root of their number.
  const int64_t score = zvrx::LearnedScore(model, tokens);
  const double n = static_cast<double>(tokens.size());
  const double margin = (100.0 + 32.768 * std::sqrt(n)) * model.margin_weight;
  const int64_t bound =
      int64_t{32768} * static_cast<int64_t>(tokens.size()) + static_cast<int64_t>(margin) + 1;
  Check(score <= bound);
  Check(score >= -bound);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> bytes(data, data + size);

  // The same bytes as a message's text: tokens sorted and distinct.
  std::string text(reinterpret_cast<const char*>(data), size);
  zvrx::MailRecord record{};
  std::memcpy(record.subject, data, size < 254 ? size : 254);
  std::vector<uint64_t> tokens;
  for (int32_t language = 0; language < 2; ++language) {
    zvrx::LearnedTokens(text.c_str(), record, language, 0, tokens);
    for (size_t k = 1; k < tokens.size(); ++k) Check(tokens[k - 1] < tokens[k]);
  }

  TryModel(bytes, tokens);
  if (size >= zvrx::kLearnedHeaderBytes + 4u) {
    std::vector<uint8_t> sealed = bytes;
    std::memcpy(sealed.data(), zvrx::kLearnedMagic, sizeof zvrx::kLearnedMagic);
    uint32_t h = 2166136261u;
    for (size_t k = 0; k + 4 < sealed.size(); ++k) h = (h ^ sealed[k]) * 16777619u;
    for (int k = 0; k < 4; ++k) sealed[sealed.size() - 4 + k] = static_cast<uint8_t>(h >> (8 * k));
    TryModel(sealed, tokens);
  }
  return 0;
}
