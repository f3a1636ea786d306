// The parse of a received top as the check does it: the written decoding,
// and, while the extension option modern_mail is on, the decoding of
// today's mail (UTF-8, Base64, quoted-printable, HTML only) for the
// messages the written decoding cannot read.
#pragma once

#include <cstdint>

#include "checker/analysis/european_charsets.h"
#include "checker/analysis/mail_record.h"
#include "checker/analysis/to_shift_jis.h"

namespace zvrx {

// `text` and `text_length` as for ParseMessage. With `modern` off this is
// ParseMessage and nothing else. With it on, a message is read as today's
// mail when its text part is Base64 or quoted-printable, in UTF-8 or UTF-16,
// HTML only, when its From or Subject holds a UTF-8 encoded word, or when
// the written classes would call it neither Japanese nor English (by
// `european`); and only when that part was found in a charset the decoder
// reads. Such a message gets readable CP932 From and Subject, the decoded
// text as its body with the header behind its NUL (the text length counts
// both, as it counts header and body of legacy mail), and record.read_as
// says its class. Legacy mail keeps the written result.
void ParseTop(char* text, int16_t& text_length, MailRecord& record, ShiftJisConverter& converter,
              bool modern, const EuropeanCharsetList& european);

}  // namespace zvrx
