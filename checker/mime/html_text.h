// HTML-only mail turned into the plain text the dictionaries are written
// for.
#pragma once

#include <string>
#include <string_view>

namespace zvrx::mime {

// Turns `html` into text: tags are dropped; comments, <script> and <style>
// are dropped with their content; character references (the common named
// ones, decimal and hexadecimal) are decoded; runs of blanks and line
// breaks become one blank, and br, p, div, li, tr, headings, tables and
// lists end lines (CR LF); td and th are separated by a blank. The target of
// a link is kept as text after the link's own text (spam words often sit in
// the address), unless the link text is that address already. An unclosed
// comment, script, style or tag at the cut end drops the rest.
// `utf8`: the text is UTF-8, so references become UTF-8; otherwise (a
// charset we leave as it is) a reference beyond ASCII becomes a blank.
// The result is never longer than `html`.
std::string HtmlToText(std::string_view html, bool utf8 = true);

}  // namespace zvrx::mime
