#include "platform/ui/cp932_offsets.h"

#include "platform/cp932.h"

namespace zvrx::platform::ui {

namespace {

// Length in QChars of the code point starting at `i`.
int CodePointLength(const QString& text, int i) {
  return text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate() ? 2
                                                                                         : 1;
}

}  // namespace

int Cp932Size(const QString& text) {
  return static_cast<int>(Utf8ToCp932(text.toStdString()).size());
}

QString FitInsertion(const QString& before, const QString& after, int limit, int& cursor) {
  int head = 0;
  while (head < before.size() && head < after.size() && before[head] == after[head]) ++head;
  if (head > 0 && after[head - 1].isHighSurrogate()) --head;
  int tail = 0;
  while (tail < before.size() - head && tail < after.size() - head &&
         before[before.size() - 1 - tail] == after[after.size() - 1 - tail]) {
    ++tail;
  }
  if (tail > 0 && after[after.size() - tail].isLowSurrogate()) --tail;
  const QString kept = after.left(head) + after.right(tail);
  const QString inserted = after.mid(head, after.size() - head - tail);
  int budget = limit - Cp932Size(kept);
  QString taken;
  for (int i = 0; i < inserted.size();) {
    const int length = CodePointLength(inserted, i);
    const QString character = inserted.mid(i, length);
    const int bytes = Cp932Size(character);
    if (bytes > budget) break;
    budget -= bytes;
    taken += character;
    i += length;
  }
  cursor = head + static_cast<int>(taken.size());
  return after.left(head) + taken + after.right(tail);
}

int ByteOffset(const QString& text, int position) { return Cp932Size(text.left(position)); }

int CharOffset(const QString& text, int bytes) {
  if (bytes < 0) return static_cast<int>(text.size());
  int used = 0;
  for (int i = 0; i < text.size();) {
    const int length = CodePointLength(text, i);
    used += Cp932Size(text.mid(i, length));
    if (used > bytes) return i;
    i += length;
  }
  return static_cast<int>(text.size());
}

}  // namespace zvrx::platform::ui
