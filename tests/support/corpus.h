// The mail corpus of the tests (tests/corpus): messages read whole, as a
// server would hold them.
#pragma once

#include <string>

#include "tests/support/temp_prefix.h"

namespace zvrx::test {

inline const std::string kCorpusFolder = ZVRX_SOURCE_DIR "/tests/corpus/";

// The message `name` ("ja-spam-01.eml"); empty when missing.
inline std::string Corpus(const std::string& name) { return ReadHostFile(kCorpusFolder + name); }

}  // namespace zvrx::test
