#include "checker/core/fetch_and_parse.h"

#include <cstring>

#include "checker/analysis/parse_message.h"
#include "checker/analysis/parse_top.h"

namespace zvrx {

FetchResult FetchAndParse(PopConnection& connection, int64_t number, MailRecord& record,
                          BodyBuffer& body, MarkerWalk& walk, ShiftJisConverter& converter,
                          const AnalysisState* analysis) {
  FetchResult fetched;

  fetched.result = List(connection, number, record.size);
  if (fetched.result != POP_OK) return fetched;

  std::memset(record.uidl, 0, sizeof(record.uidl));
  const PopResult uidl = Uidl(connection, number, record.uidl, sizeof(record.uidl));
  if (uidl != POP_OK) {
    std::memset(record.uidl, 0, sizeof(record.uidl));
    // No TOP on a connection that can no longer be trusted.
    if (connection.broken) {
      fetched.result = uidl;
      return fetched;
    }
  }

  fetched.result = Top(connection, number, body);
  if (fetched.result != POP_OK) return fetched;

  if (analysis != nullptr) {
    ParseTop(body.data(), body.text_length, record, converter, analysis->modern_mail,
             analysis->european);
  } else {
    ParseMessage(body.data(), body.text_length, record, converter);
  }

  if (IsAlreadySeen(walk, record)) {
    body.Release();
    fetched.already_seen = true;
  }
  return fetched;
}

}  // namespace zvrx
