// The acceptance and rejection list pages (dialog 109, one implementation
// for both kinds): the list file's entries in a list box, Add, Change,
// Delete and Read from a text file, and on closing the save question, the
// list file and the checker's reload.
#pragma once

#include <memory>

#include "settings/pages/page_window.h"
#include "settings/settings_state.h"

namespace zvrx {

// Control ids of dialog 109.
inline constexpr int kListIdGroup = 1027;
inline constexpr int kListIdEntries = 1031;
inline constexpr int kListIdEdit = 1032;
inline constexpr int kListIdAdd = 1040;
inline constexpr int kListIdChange = 1041;
inline constexpr int kListIdRead = 1042;
inline constexpr int kListIdDelete = 1043;

// The page of `kind` (kAcceptanceList or kRejectionList); null for others.
std::unique_ptr<Page> MakeListPage(SettingsState& state, PageKind kind);

}  // namespace zvrx
