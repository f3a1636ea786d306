#include "checker/mime/mime_structure.h"

#include <algorithm>

namespace zvrx::mime {
namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (IsBlank(text.front()) || text.front() == '\r' || text.front() == '\n')) {
    text.remove_prefix(1);
  }
  while (!text.empty() && (IsBlank(text.back()) || text.back() == '\r' || text.back() == '\n')) {
    text.remove_suffix(1);
  }
  return text;
}

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = LowerAscii(c);
  return out;
}

// The end of the line starting at `at`: the position of its CR LF or LF.
size_t LineEnd(std::string_view text, size_t at) {
  const size_t lf = text.find('\n', at);
  if (lf == std::string_view::npos) return text.size();
  return lf > at && text[lf - 1] == '\r' ? lf - 1 : lf;
}
size_t NextLine(std::string_view text, size_t at) {
  const size_t lf = text.find('\n', at);
  return lf == std::string_view::npos ? text.size() : lf + 1;
}

// One parameter value: a quoted string (backslash escapes) or a token.
std::string ParameterValue(std::string_view text, size_t& at) {
  std::string value;
  while (at < text.size() && IsBlank(text[at])) ++at;
  if (at < text.size() && text[at] == '"') {
    ++at;
    while (at < text.size() && text[at] != '"') {
      if (text[at] == '\\' && at + 1 < text.size()) ++at;
      value.push_back(text[at++]);
    }
    if (at < text.size()) ++at;
    return value;
  }
  while (at < text.size() && text[at] != ';' && !IsBlank(text[at])) value.push_back(text[at++]);
  return value;
}

struct Search {
  TextPart plain;
  TextPart html;
  int parts = 0;
};

bool IsAttachment(std::string_view header) {
  std::string disposition;
  if (!FindHeaderField(header, "Content-Disposition", disposition)) return false;
  const std::string lower = Lower(disposition);
  return lower.starts_with("attachment");
}

void Walk(std::string_view entity, int depth, Search& search);

// Each part between the delimiter lines "--boundary" of `body`. The text
// before the first one and after the closing one is not a part; a body
// whose closing delimiter was cut off ends its last part at the end.
void WalkMultipart(std::string_view body, std::string_view boundary, int depth, Search& search) {
  size_t part_start = std::string_view::npos;
  size_t line = 0;
  while (line < body.size()) {
    const size_t end = LineEnd(body, line);
    const std::string_view text = body.substr(line, end - line);
    bool delimiter = false;
    bool closing = false;
    if (text.size() >= 2 + boundary.size() && text.starts_with("--") &&
        text.substr(2, boundary.size()) == boundary) {
      const std::string_view rest = text.substr(2 + boundary.size());
      closing = rest.starts_with("--");
      delimiter = closing || Trim(rest).empty();
    }
    if (delimiter) {
      if (part_start != std::string_view::npos) {
        // The line break before the delimiter belongs to it.
        size_t part_end = line;
        if (part_end > part_start && body[part_end - 1] == '\n') --part_end;
        if (part_end > part_start && body[part_end - 1] == '\r') --part_end;
        Walk(body.substr(part_start, part_end - part_start), depth + 1, search);
        if (search.plain.found || search.parts >= kMaxParts) return;
      }
      if (closing) return;
      part_start = NextLine(body, line);
    }
    line = NextLine(body, line);
  }
  if (part_start != std::string_view::npos && part_start < body.size()) {
    Walk(body.substr(part_start), depth + 1, search);
  }
}

void Walk(std::string_view entity, int depth, Search& search) {
  if (++search.parts > kMaxParts) return;
  const Entity parts = SplitEntity(entity);
  std::string value;
  const ContentType type = FindHeaderField(parts.header, "Content-Type", value)
                               ? ParseContentType(value)
                               : ContentType{"text", "plain", "", ""};
  if (type.type == "multipart") {
    if (depth >= kMaxMultipartDepth || type.boundary.empty() ||
        type.boundary.size() > kMaxBoundaryLength) {
      return;
    }
    WalkMultipart(parts.body, type.boundary, depth, search);
    return;
  }
  if (type.type != "text" || IsAttachment(parts.header)) return;
  const bool plain = type.subtype == "plain";
  const bool html = type.subtype == "html";
  if (!plain && !html) return;
  TextPart& slot = plain ? search.plain : search.html;
  if (slot.found) return;
  slot.found = true;
  slot.html = html;
  slot.charset = CharsetFromName(type.charset);
  slot.encoding = FindHeaderField(parts.header, "Content-Transfer-Encoding", value)
                      ? ParseTransferEncoding(value)
                      : TransferEncoding::kIdentity;
  slot.content = parts.body;
}

}  // namespace

Entity SplitEntity(std::string_view entity) {
  // A part that starts with its empty line has no header.
  if (entity.starts_with("\r\n")) return {entity.substr(0, 0), entity.substr(2)};
  if (entity.starts_with("\n")) return {entity.substr(0, 0), entity.substr(1)};
  size_t line = 0;
  while (line < entity.size()) {
    const size_t next = NextLine(entity, line);
    const size_t end = LineEnd(entity, line);
    if (end == line && next > line) return {entity.substr(0, line), entity.substr(next)};
    line = next;
  }
  return {entity, entity.substr(entity.size())};
}

bool FindHeaderField(std::string_view header, std::string_view name, std::string& value) {
  value.clear();
  size_t line = 0;
  while (line < header.size()) {
    const size_t end = LineEnd(header, line);
    const std::string_view text = header.substr(line, end - line);
    size_t colon = text.find(':');
    if (colon != std::string_view::npos) {
      std::string_view field = text.substr(0, colon);
      while (!field.empty() && IsBlank(field.back())) field.remove_suffix(1);
      if (EqualsNoCase(field, name)) {
        value.append(text.substr(colon + 1));
        size_t next = NextLine(header, line);
        while (next < header.size() && IsBlank(header[next])) {
          const size_t next_end = LineEnd(header, next);
          value.append(header.substr(next, next_end - next));
          next = NextLine(header, next);
        }
        const std::string_view trimmed = Trim(value);
        value = std::string(trimmed);
        return true;
      }
    }
    line = NextLine(header, line);
  }
  return false;
}

ContentType ParseContentType(std::string_view value) {
  ContentType type;
  const size_t semicolon = std::min(value.find(';'), value.size());
  const std::string_view media = Trim(value.substr(0, semicolon));
  const size_t slash = media.find('/');
  type.type = Lower(Trim(media.substr(0, slash)));
  type.subtype = slash == std::string_view::npos ? "" : Lower(Trim(media.substr(slash + 1)));
  size_t at = semicolon;
  while (at < value.size()) {
    ++at;  // the ';'
    while (at < value.size() && IsBlank(value[at])) ++at;
    const size_t equals = value.find('=', at);
    if (equals == std::string_view::npos) break;
    const std::string name = Lower(Trim(value.substr(at, equals - at)));
    at = equals + 1;
    std::string parameter = ParameterValue(value, at);
    if (name == "boundary" && type.boundary.empty()) type.boundary = std::move(parameter);
    if (name == "charset" && type.charset.empty()) type.charset = std::move(parameter);
    at = std::min(value.find(';', at), value.size());
  }
  return type;
}

TransferEncoding ParseTransferEncoding(std::string_view value) {
  const std::string lower = Lower(Trim(value));
  if (lower == "base64") return TransferEncoding::kBase64;
  if (lower == "quoted-printable") return TransferEncoding::kQuotedPrintable;
  return TransferEncoding::kIdentity;
}

TextPart FindTextPart(std::string_view top) {
  Search search;
  Walk(top, 0, search);
  return search.plain.found ? search.plain : search.html;
}

}  // namespace zvrx::mime
