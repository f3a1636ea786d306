// A message kept in a file, made into the text the checker would hold after
// TOP n 150, so tools and tests judge exactly what a check would judge.
#pragma once

#include <string_view>

#include "checker/core/pop3_replies.h"

namespace zvrx {

inline constexpr int kTopBodyLines = 150;  // the line count of every TOP

// Fills the body buffer from a raw message (header, blank line, body): LF
// line ends become CR LF, the body stops after its 150th line, and a text
// longer than TOP keeps is cut where TOP cuts it. The text length leaves the
// final LF behind it, as a TOP reply does.
void MessageFileToTopText(std::string_view raw, BodyBuffer& body);

}  // namespace zvrx
