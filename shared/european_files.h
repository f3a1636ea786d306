// The European character-set files "ISO501" to "ISO515" of the data folder:
// file n holds the names of ISO-8859-n, one per CR LF line. The data
// compiler writes them; the checker joins those the user switched on into
// the list of character sets whose mail is read as English.
#pragma once

namespace zvrx {

inline constexpr int kEuropeanFirstPart = 1;
inline constexpr int kEuropeanLastPart = 15;
inline constexpr int kEuropeanListMax = 3000;      // bytes of names in all
inline constexpr int kEuropeanEntryCount = 16;      // entry n = ISO-8859-n, 0 unused
inline constexpr int kEuropeanEntryBytes = 8;       // first byte 1 = switched on
inline constexpr int kEuropeanTableSize = kEuropeanEntryCount * kEuropeanEntryBytes;

// "ISO5" and the entry number as two digits: "ISO501".."ISO515".
void EuropeanFileName(int entry, char name[7]);

}  // namespace zvrx
