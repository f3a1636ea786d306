// Hands the saved records to a running checker, as the settings program
// does when one of its pages is saved.
#pragma once

#include <cstdint>

namespace zvrx::ctl {

struct DeliveryRequest {
  bool languages_changed = false;  // dictionaries or European sets: reload them
  uint8_t list_reload_flags = 0;   // kReloadAcceptanceList, kReloadRejectionList
};

// Reads the four records from their files and delivers them with the
// request's flags. Without a running checker nothing happens: the checker
// reads the files when it starts.
void DeliverToRunningChecker(const DeliveryRequest& request);

}  // namespace zvrx::ctl
