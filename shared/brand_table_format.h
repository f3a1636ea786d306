// The brand check's delivered table "ZVRXBrand.txt": written by the data
// compiler, read by the checker. One header line, then one brand a line:
//   ZVRXBrand<TAB>1<TAB>SCORE
//   NAME,NAME,...<TAB>KIND,KIND,...<TAB>DOMAIN,DOMAIN,...   (domains may be empty)
//   *<TAB>*<TAB>DOMAIN,DOMAIN,...                           (the shared domains)
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zvrx {

inline constexpr char kBrandTableName[] = "ZVRXBrand.txt";
inline constexpr char kBrandTableMagic[] = "ZVRXBrand";
inline constexpr int kBrandTableVersion = 1;
// Highest score the table may give, as for a dictionary word.
inline constexpr int32_t kMaxBrandScore = 10000;
inline constexpr size_t kMaxDomainLength = 253;

// Lower-case labels of letters, digits and inner hyphens, at least two.
bool IsBrandDomainName(std::string_view domain);

// A Method dictionary's file name as the data compiler accepts it: a digit
// first, then letters, digits, '_' or '-', at most 28 bytes.
bool IsBrandKindName(std::string_view kind);

}  // namespace zvrx
