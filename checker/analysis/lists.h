// The sender lists of the judgment: the user's acceptance and rejection
// lists and the delivered anonymous-sign lists A and B. Each is held as the
// file's text, lines ending in CR LF, NUL-terminated in memory.
#pragma once

#include <vector>

namespace zvrx {

inline constexpr char kAcceptanceListName[] = "ZVRXWhiteList";
inline constexpr char kRejectionListName[] = "ZVRXBlackList";
inline constexpr char kAnonymousListAName[] = "ZVRk-128";  // matched against From
inline constexpr char kAnonymousListBName[] = "ZVRk-129";  // Message-Id or From

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
// Reads both delivered lists and unscrambles them in memory.
void LoadAnonymousLists(ListText& list_a, ListText& list_b);

}  // namespace zvrx
