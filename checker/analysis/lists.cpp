#include "checker/analysis/lists.h"

#include <string>

#include "checker/analysis/read_whole_file.h"
#include "shared/data_scramble.h"
#include "shared/locations.h"

namespace zvrx {

namespace {

void LoadPlain(ListText& list, const char* name) {
  list.bytes = ReadWholeFile(DataFolder() + name);
}

void LoadScrambled(ListText& list, const char* name) {
  list.bytes = ReadWholeFile(DataFolder() + name);
  // The terminator appended by the read is not part of the file.
  if (list.present()) DataScramble(list.bytes.data(), list.bytes.size() - 1);
}

}  // namespace

void LoadAcceptanceList(ListText& list) { LoadPlain(list, kAcceptanceListName); }

void LoadRejectionList(ListText& list) { LoadPlain(list, kRejectionListName); }

void LoadAnonymousLists(ListText& list_a, ListText& list_b) {
  LoadScrambled(list_a, kAnonymousListAName);
  LoadScrambled(list_b, kAnonymousListBName);
}

}  // namespace zvrx
