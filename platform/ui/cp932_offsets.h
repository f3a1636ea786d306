// Text offsets across the Qt boundary: Qt counts UTF-16 units, an ANSI
// edit control counts CP932 bytes.
#pragma once

#include <QString>

namespace zvrx::platform::ui {

// Size of the text in CP932 bytes.
int Cp932Size(const QString& text);

// The text after an insertion into `before` that made `after`, with the
// inserted part cut so that the whole stays within `limit` CP932 bytes,
// whole characters only; `cursor` is set behind what was kept.
QString FitInsertion(const QString& before, const QString& after, int limit, int& cursor);

// Byte offset in CP932 of the QChar offset `position`.
int ByteOffset(const QString& text, int position);

// QChar offset of a CP932 byte offset (a byte inside a character counts as
// the character's start); -1 or past the end is the end.
int CharOffset(const QString& text, int bytes);

}  // namespace zvrx::platform::ui
