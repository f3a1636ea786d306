// The small delivered files: Subject keyword tables, threshold parameters,
// anonymous-sign lists and the European charset files. Each compiler takes
// a parsed source and returns the file's bytes, or nullopt after reporting.
#pragma once

#include <optional>
#include <string>

#include "tools/datac/diagnostics.h"
#include "tools/datac/source_text.h"

namespace zvrx::datac {

// "case: exact|ignore", "lower: N", "upper: N", then "keyword | weight".
std::optional<std::string> CompileSubjectTable(const SourceFile& file, Diagnostics& diag);

// "P0: N" .. "P7: N", each once.
std::optional<std::string> CompileThresholds(const SourceFile& file, Diagnostics& diag);

// One entry per line; CR LF lines, data-scrambled.
std::optional<std::string> CompileSignList(const SourceFile& file, Diagnostics& diag);

// One charset name per line; plain CR LF lines.
std::optional<std::string> CompileCharsetFile(const SourceFile& file, Diagnostics& diag);

// The brand table: "score: N", "shared: DOMAIN, ...", then one brand a line,
// "NAME, NAME, ... | KIND, ... | DOMAIN, ..." (no domain: "-"). Written as
// CP932 text for the checker (checker/analysis/brand_check.h).
std::optional<std::string> CompileBrandTable(const SourceFile& file, Diagnostics& diag);

// The judgment matches list lines through a 64-byte working area.
inline constexpr int kMaxListLineLength = 63;

}  // namespace zvrx::datac
