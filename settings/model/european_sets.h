// The European-languages dialog's boxes: each stands for the ISO-8859 parts
// its languages are written in, switched together.
#pragma once

#include <initializer_list>

namespace zvrx {

struct EuropeanSet {
  const char* languages;  // for people, in English
  std::initializer_list<int> parts;
};

// In the dialog's box order.
inline constexpr EuropeanSet kEuropeanSets[] = {
    {"Western Europe", {1}},  {"Central Europe", {2}}, {"Southern Europe", {3}},
    {"Northern Europe", {4}}, {"Turkish", {9}},        {"Nordic", {10, 11, 12}},
    {"Baltic and Celtic", {13, 14}}, {"Euro", {15}},
};
inline constexpr int kEuropeanSetCount = sizeof(kEuropeanSets) / sizeof(kEuropeanSets[0]);

}  // namespace zvrx
