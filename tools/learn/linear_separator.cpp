#include "tools/learn/linear_separator.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace zvrx {

namespace {

constexpr int kMaxPasses = 1000;
// The spread of the projected gradient at which the solution is taken as
// found (the dual problem's optimality gap, as LIBLINEAR measures it).
constexpr double kTolerance = 1e-3;

// A fixed sequence, so a build learns the same model on every machine.
class Shuffler {
 public:
  void Shuffle(std::vector<size_t>& order) {
    for (size_t i = order.size(); i > 1; --i) std::swap(order[i - 1], order[Next() % i]);
  }

 private:
  uint64_t Next() {
    state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
    return state_ >> 33;
  }
  uint64_t state_ = 88172645463325252ull;
};

}  // namespace

Separator LearnSeparator(const std::vector<SeparatorRow>& rows, double c) {
  std::unordered_map<uint64_t, uint32_t> index;
  std::vector<std::vector<uint32_t>> features(rows.size());
  std::vector<double> value(rows.size(), 0);
  std::vector<uint64_t> tokens;
  for (size_t i = 0; i < rows.size(); ++i) {
    for (uint64_t t : *rows[i].tokens) {
      auto [at, fresh] = index.emplace(t, static_cast<uint32_t>(tokens.size()));
      if (fresh) tokens.push_back(t);
      features[i].push_back(at->second);
    }
    if (!features[i].empty()) value[i] = 1.0 / std::sqrt(static_cast<double>(features[i].size()));
  }
  std::vector<double> w(tokens.size(), 0);
  double bias = 0;
  std::vector<double> alpha(rows.size(), 0);
  const double diagonal = 1.0 / (2.0 * c);
  std::vector<size_t> order(rows.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  Shuffler shuffler;
  for (int pass = 0; pass < kMaxPasses; ++pass) {
    shuffler.Shuffle(order);
    double highest = -std::numeric_limits<double>::infinity();
    double lowest = std::numeric_limits<double>::infinity();
    for (size_t i : order) {
      const double y = rows[i].unwanted ? 1.0 : -1.0;
      double dot = bias;
      for (uint32_t f : features[i]) dot += w[f] * value[i];
      const double gradient = y * dot - 1.0 + diagonal * alpha[i];
      const double projected = alpha[i] == 0 ? std::min(gradient, 0.0) : gradient;
      highest = std::max(highest, projected);
      lowest = std::min(lowest, projected);
      if (std::fabs(projected) < 1e-12) continue;
      // Each row's squared length: its tokens (1 together) and the bias.
      const double q =
          value[i] * value[i] * static_cast<double>(features[i].size()) + 1.0 + diagonal;
      const double old = alpha[i];
      alpha[i] = std::max(old - gradient / q, 0.0);
      const double step = (alpha[i] - old) * y;
      for (uint32_t f : features[i]) w[f] += step * value[i];
      bias += step;
    }
    if (highest - lowest < kTolerance) break;
  }
  Separator separator;
  separator.bias = bias;
  for (size_t f = 0; f < tokens.size(); ++f) {
    if (w[f] != 0) separator.weights.emplace(tokens[f], w[f]);
  }
  return separator;
}

}  // namespace zvrx
