#include "checker/analysis/lists.h"

#include <string>

#include "checker/analysis/read_whole_file.h"
#include "platform/files.h"
#include "shared/data_scramble.h"
#include "shared/locations.h"

namespace zvrx {

namespace {

void LoadPlain(ListText& list, const char* name) {
  list.bytes = ReadWholeFile(DataFolder() + name);
}

void LoadScrambled(ListText& list, const char* name, std::vector<DataProblem>* problems) {
  const std::string path = DataFolder() + name;
  list.bytes = ReadWholeFile(path);
  if (!list.present()) {
    if (problems != nullptr) {
      const bool empty = platform::FileExists(path);
      problems->push_back({name, empty ? std::string("damaged (empty)") : UnreadableReason(path)});
    }
    return;
  }
  // The terminator appended by the read is not part of the file.
  DataScramble(list.bytes.data(), list.bytes.size() - 1);
  std::string why;
  if (!CheckSignListText(list.bytes.data(), list.bytes.size() - 1, &why)) {
    list.bytes.clear();
    if (problems != nullptr) problems->push_back({name, "damaged (" + why + ")"});
  }
}

}  // namespace

void LoadAcceptanceList(ListText& list) { LoadPlain(list, kAcceptanceListName); }

void LoadRejectionList(ListText& list) { LoadPlain(list, kRejectionListName); }

void LoadAnonymousLists(ListText& list_a, ListText& list_b, std::vector<DataProblem>* problems) {
  LoadScrambled(list_a, kAnonymousListAName, problems);
  LoadScrambled(list_b, kAnonymousListBName, problems);
}

bool CheckSignListText(const char* bytes, size_t size, std::string* why) {
  size_t line_start = 0;
  for (size_t i = 0; i < size; ++i) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c == '\r') {
      if (i + 1 >= size || bytes[i + 1] != '\n') {
        *why = "a line without its CR LF";
        return false;
      }
      if (i - line_start > static_cast<size_t>(kMaxSignLineLength)) {
        *why = "a line longer than " + std::to_string(kMaxSignLineLength) + " bytes";
        return false;
      }
      ++i;
      line_start = i + 1;
    } else if ((c < 0x20 && c != '\t') || c == 0x7F) {
      *why = "control bytes in the text";
      return false;
    }
  }
  if (line_start != size) {
    *why = "the last line without its CR LF";
    return false;
  }
  return true;
}

}  // namespace zvrx
