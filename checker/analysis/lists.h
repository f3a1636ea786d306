// The sender lists of the judgment: the user's acceptance and rejection
// lists and the delivered anonymous-sign lists A and B. Each is held as the
// file's text, lines ending in CR LF, NUL-terminated in memory.
#pragma once

#include <string>
#include <vector>

#include "checker/analysis/data_problem.h"
#include "shared/list_files.h"

namespace zvrx {

struct ListText {
  std::vector<char> bytes;  // file bytes plus a NUL; empty while absent
  bool present() const { return !bytes.empty(); }
  // The NUL-terminated text; "" when absent.
  const char* text() const { return bytes.empty() ? "" : bytes.data(); }
};

// Every list the judgment consults, kept in the checker's state.
struct MailLists {
  ListText acceptance;
  ListText rejection;
  ListText anonymous_a;
  ListText anonymous_b;
};

// Each loader replaces what the list held by the file in the data folder;
// a missing or empty file leaves the list absent.
void LoadAcceptanceList(ListText& list);
void LoadRejectionList(ListText& list);
// Reads both delivered lists and unscrambles them in memory. A list that is
// missing, or does not unscramble to lines the data compiler writes (CR LF
// after every line, no control bytes, at most kMaxSignLineLength bytes a
// line), is left absent and noted in `problems` when given.
void LoadAnonymousLists(ListText& list_a, ListText& list_b,
                        std::vector<DataProblem>* problems = nullptr);

// Checks an unscrambled sign list (without the terminator the read adds):
// empty `why` when sound.
bool CheckSignListText(const char* bytes, size_t size, std::string* why);

}  // namespace zvrx
