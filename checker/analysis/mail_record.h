// The per-message record filled by the fetch step and read by the judgment,
// the scoring, the work log and the last-seen marker.
#pragma once

#include <cstdint>

namespace zvrx {

inline constexpr int kMailFieldSize = 255;  // 254 bytes of text + NUL

// How the text of a message was read: by the written decoding (0, what a
// cleared record says), or by the decoding of today's mail with the
// language class its text showed.
inline constexpr int32_t kReadWritten = 0;
inline constexpr int32_t kReadDecodedJapanese = 1;
inline constexpr int32_t kReadDecodedEnglish = 2;

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
  int32_t read_as;  // kReadWritten or kReadDecoded...; only in memory
};

}  // namespace zvrx
