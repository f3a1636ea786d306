// The binary form of a Method dictionary and its companion word file.
#pragma once

#include <string>

#include "tools/datac/dictionary_source.h"

namespace zvrx::datac {

struct CompiledDictionary {
  std::string dictionary;      // the Method folder file
  std::string companion_name;  // empty when no entry has forms
  std::string companion;       // data-scrambled CR LF lines
};

CompiledDictionary CompileDictionary(const DictionarySource& source);

}  // namespace zvrx::datac
