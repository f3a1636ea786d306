// The MIME structure of a top (header and as much body as TOP returned):
// which part holds the text to analyse, in which charset and transfer
// encoding. Only views into the top are returned; nothing is copied.
#pragma once

#include <string>
#include <string_view>

#include "checker/mime/charset_conversion.h"

namespace zvrx::mime {

// Multipart nesting followed at most this deep (the top itself is level 0);
// deeper parts are not looked at. Real mail nests three levels (mixed,
// related, alternative).
inline constexpr int kMaxMultipartDepth = 5;
// Parts looked at in one top, all levels together, so that a top of empty
// parts costs no more than a plain one.
inline constexpr int kMaxParts = 100;
// A boundary is at most 70 characters; a longer one is refused.
inline constexpr size_t kMaxBoundaryLength = 70;

// The header and the body of an entity: the header ends at the first empty
// line (CR LF or LF alone). Without one, everything is header.
struct Entity {
  std::string_view header;
  std::string_view body;
};
Entity SplitEntity(std::string_view entity);

// The value of the first field `name` (any letter case) that starts a line
// of `header`, its folds unfolded (the line break of each removed, its
// blank kept) and the blanks around it trimmed. False when there is none.
bool FindHeaderField(std::string_view header, std::string_view name, std::string& value);

struct ContentType {
  std::string type;      // lower case; "text" when the field is missing
  std::string subtype;   // lower case; "plain" when the field is missing
  std::string boundary;  // as written
  std::string charset;   // as written, empty when not declared
};
// Parses a Content-Type value: type/subtype, then ';'-separated parameters
// whose values may be quoted.
ContentType ParseContentType(std::string_view value);

enum class TransferEncoding { kIdentity, kBase64, kQuotedPrintable };
TransferEncoding ParseTransferEncoding(std::string_view value);

// The part whose text is analysed: the first text/plain part of the tree
// (depth first), else the first text/html part. Parts marked as attachments
// are passed over.
struct TextPart {
  bool found = false;
  bool html = false;
  Charset charset = Charset::kUndeclared;
  TransferEncoding encoding = TransferEncoding::kIdentity;
  std::string_view content;  // still transfer-encoded
};
TextPart FindTextPart(std::string_view top);

}  // namespace zvrx::mime
