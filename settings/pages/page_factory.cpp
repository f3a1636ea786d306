#include "settings/pages/judgment_page.h"
#include "settings/pages/list_page.h"
#include "settings/pages/log_page.h"
#include "settings/pages/options_page.h"
#include "settings/pages/page_window.h"

namespace zvrx {

std::unique_ptr<Page> MakePage(SettingsState& state, PageKind kind) {
  switch (kind) {
    case PageKind::kOptions:
      return MakeOptionsPage(state);
    case PageKind::kJudgment:
      return MakeJudgmentPage(state);
    case PageKind::kAcceptanceList:
    case PageKind::kRejectionList:
      return MakeListPage(state, kind);
    case PageKind::kWorkLog:
      return MakeLogPage(state);
  }
  return nullptr;
}

}  // namespace zvrx
