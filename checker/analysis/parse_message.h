// Turns the received top of a message into Shift-JIS, fills the record's
// header fields, and leaves the body at the start of the buffer.
#pragma once

#include <cstdint>

#include "checker/analysis/mail_record.h"
#include "checker/analysis/to_shift_jis.h"

namespace zvrx {

// `text` holds `text_length` bytes and a NUL at or after that length (the
// TOP text keeps its last LF behind the length). The text is decoded and
// converted in place; `text_length` becomes the converted length, which the
// scoring reads up to. If the header ends in a blank line, the body with its
// NUL is moved to the start of the buffer and the bytes behind that NUL keep
// the rest of the converted text; otherwise the buffer keeps the whole text.
// Fills subject, from, date, message_id, content_type, charset and
// extra_recipients; uidl and size are the fetch step's.
void ParseMessage(char* text, int16_t& text_length, MailRecord& record,
                  ShiftJisConverter& converter);

}  // namespace zvrx
