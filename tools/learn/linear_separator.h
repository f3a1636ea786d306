// A linear separator of unwanted and legitimate mail over the same tokens
// the word counts use: an L2-regularised support vector machine with the
// squared hinge loss, learned by dual coordinate descent (Hsieh et al.,
// "A dual coordinate descent method for large-scale linear SVM", 2008).
// Each message is the set of its tokens, every token worth 1/sqrt(count),
// plus a bias feature of 1.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace zvrx {

struct SeparatorRow {
  const std::vector<uint64_t>* tokens = nullptr;  // distinct
  bool unwanted = false;
};

struct Separator {
  std::unordered_map<uint64_t, double> weights;  // only the tokens not 0
  double bias = 0;
};

// `c` weighs the loss against the weights' size. Deterministic: the same
// rows in the same order give the same separator.
Separator LearnSeparator(const std::vector<SeparatorRow>& rows, double c);

}  // namespace zvrx
