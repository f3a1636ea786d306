// Builds Method dictionaries, companion files, Subject keyword tables and
// threshold files for tests, byte by byte from the shared layout constants,
// so the tests do not depend on the data compiler.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace zvrx::test {

struct FollowUpContents {
  int32_t related;  // 1-based entry number, written as given
  int32_t weight_a;
  int32_t weight_b;
};

struct EntryContents {
  std::string word;  // CP932
  int32_t weight = 0;
  std::vector<std::string> forms;  // its companion line, if any
  std::vector<FollowUpContents> follow_ups;
};

struct DictionaryContents {
  std::string category;  // CP932
  int32_t language = 0;
  bool scrambled = false;
  std::string companion_name;  // empty: no companion file
  std::vector<EntryContents> entries;
};

// The dictionary file; entries with forms point at their line of the
// companion text that BuildCompanionFile makes.
std::string BuildDictionaryFile(const DictionaryContents& contents);
// The companion file (CR LF lines, data-scrambled).
std::string BuildCompanionFile(const DictionaryContents& contents);
// Writes the dictionary (and its companion, if named) into the Method
// folder of the current prefix, whose install root is `install_root_host`.
void WriteDictionary(const std::string& install_root_host, const std::string& file_name,
                     const DictionaryContents& contents);

// A data-scrambled Subject keyword table.
std::string BuildSubjectTable(bool ignore_case, int16_t lower, int16_t upper,
                              const std::vector<std::pair<std::string, int32_t>>& keywords);
// "kZVj-128".
std::string BuildThresholds(const std::array<int32_t, 8>& p);

// What a small machine's data folder (host path) needs beside its
// dictionaries for the judgment: the thresholds, and both Subject keyword
// tables empty with the usual bounds 1500..6000 (without them the text
// analysis is off). With `anonymous` not empty, both anonymous-sender lists
// hold its lines, data-scrambled.
void WriteJudgmentFiles(const std::string& data_folder_host,
                        const std::array<int32_t, 8>& thresholds,
                        const std::string& anonymous = "");

}  // namespace zvrx::test
