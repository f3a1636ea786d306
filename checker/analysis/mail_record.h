// The per-message record filled by the fetch step and read by the judgment,
// the scoring, the work log and the last-seen marker.
#pragma once

#include <cstdint>

namespace zvrx {

inline constexpr int kMailFieldSize = 255;  // 254 bytes of text + NUL

struct MailRecord {
  char uidl[kMailFieldSize];
  char subject[kMailFieldSize];
  char from[kMailFieldSize];
  char date[kMailFieldSize];
  char message_id[kMailFieldSize];
  char content_type[kMailFieldSize];
  char charset[kMailFieldSize];
  int32_t size;
  int32_t extra_recipients;
};

}  // namespace zvrx
