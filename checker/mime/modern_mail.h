// Today's mail (UTF-8, Base64, quoted-printable, HTML only) decoded from the
// top the checker reads into what the judgment works on: readable CP932
// From and Subject, and the CP932 text to analyse. Pure: no I/O, and
// nothing kept from one call to the next (iconv converters are reused per
// thread, as in platform/cp932).
#pragma once

#include <string>
#include <string_view>

#include "checker/mime/folding.h"
#include "checker/mime/mime_structure.h"

namespace zvrx::mime {

// The most of a top that is read: the checker's body buffer (kBodyTextSize).
inline constexpr size_t kMaxTopSize = 20000;
// A header text fits a record field: 254 bytes and the NUL (kMailFieldSize).
inline constexpr size_t kMaxHeaderTextSize = 254;

struct ModernMail {
  std::string from;     // CP932, at most kMaxHeaderTextSize bytes, whole characters
  std::string subject;  // the same
  // The text to analyse: the chosen part decoded, HTML made text, in CP932,
  // folded for matching (folding.h); lines end in CR LF. Never longer than
  // the top that was read, cut on a character boundary.
  std::string body;
  LanguageClass language = LanguageClass::kEnglish;  // of subject and body
  bool text_found = false;    // a text/plain or text/html part was found
  bool html = false;          // the text came from a text/html part
  // False when the part's charset is one we leave as it is (or undeclared
  // 8-bit text that is neither UTF-8 nor ISO-2022-JP, such as legacy
  // Shift-JIS or EUC-JP): the body then holds the decoded bytes unconverted
  // and unfolded, and `language` means nothing; the written judgment should
  // read such mail.
  bool charset_known = false;
  // The chosen part's declared charset (kUtf8 also for undeclared 8-bit
  // text that is well-formed UTF-8) and its transfer encoding, which tell
  // today's mail from the legacy kind the written decoding reads.
  Charset charset = Charset::kUndeclared;
  TransferEncoding encoding = TransferEncoding::kIdentity;
};

// Decodes the top: header and body as POP3 TOP returns them (CR LF lines;
// LF alone is taken too). Only the first kMaxTopSize bytes are read.
ModernMail DecodeModernTop(std::string_view top);

}  // namespace zvrx::mime
