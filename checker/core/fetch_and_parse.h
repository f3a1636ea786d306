// Fetches one message's size, unique id and top and parses it into the
// record, then asks the last-seen marker whether the walk is done.
#pragma once

#include <cstdint>

#include "checker/analysis/analysis_state.h"
#include "checker/analysis/mail_record.h"
#include "checker/analysis/marker.h"
#include "checker/analysis/to_shift_jis.h"
#include "checker/core/pop3_client.h"
#include "checker/core/pop_result.h"

namespace zvrx {

// The code the check cycle keeps for "already seen": the walk of this
// mailbox ends here.
inline constexpr int16_t kAlreadySeenCode = 1;

struct FetchResult {
  PopResult result = POP_OK;  // a failed LIST or TOP, passed back unchanged
  bool already_seen = false;  // the marked message; the body was released

  // The 16-bit code the system keeps: 1 when seen, else the PopResult's.
  int16_t Code() const { return already_seen ? kAlreadySeenCode : StoredValue(result); }
};

// On success with already_seen false the body buffer holds the parsed body
// (see ParseMessage) for the judgment. A refused UIDL leaves record.uidl
// empty and is no error; one that broke the connection is passed back.
// With `analysis` given, the top is parsed as ParseTop does under its
// modern_mail option; without, by the written decoding alone.
FetchResult FetchAndParse(PopConnection& connection, int64_t number, MailRecord& record,
                          BodyBuffer& body, MarkerWalk& walk, ShiftJisConverter& converter,
                          const AnalysisState* analysis = nullptr);

}  // namespace zvrx
