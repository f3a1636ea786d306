#include "tools/datac/compile_tree.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

#include "shared/dictionary_format.h"
#include "shared/european_files.h"
#include "shared/list_files.h"
#include "tools/datac/dictionary_source.h"
#include "tools/datac/dictionary_writer.h"
#include "tools/datac/source_text.h"
#include "tools/datac/tables.h"

namespace zvrx::datac {
namespace {

namespace fs = std::filesystem;

constexpr char kDictionaryExtension[] = ".dic";

std::vector<std::string> DictionarySources(const fs::path& method_dir) {
  std::vector<std::string> paths;
  std::error_code ec;
  for (const auto& item : fs::directory_iterator(method_dir, ec)) {
    if (item.is_regular_file() && item.path().extension() == kDictionaryExtension) {
      paths.push_back(item.path().string());
    }
  }
  std::sort(paths.begin(), paths.end());  // the checker loads in byte order too
  return paths;
}

void CompileDictionaries(const fs::path& source_dir, std::vector<OutputFile>& outputs,
                         Diagnostics& diag) {
  const fs::path method_dir = source_dir / "method";
  const auto paths = DictionarySources(method_dir);
  if (paths.empty()) diag.Error(method_dir.string(), 0, "no *.dic dictionary sources");
  if (paths.size() > static_cast<size_t>(kMaxDictionaries)) {
    diag.Error(method_dir.string(), 0, "more than 16 dictionaries; the checker loads 16");
  }
  std::vector<std::string> names;
  for (const auto& path : paths) {
    const std::string name = fs::path(path).stem().string();
    // Switching off one dictionary must not switch off another: the
    // switched-off slot holds a cut name and matches every name it begins.
    for (const auto& other : names) {
      const std::string a = other.substr(0, kSwitchedOffNameLength);
      const std::string b = name.substr(0, kSwitchedOffNameLength);
      if (name.compare(0, a.size(), a) == 0 || other.compare(0, b.size(), b) == 0) {
        diag.Error(path, 0, "name begins like dictionary '" + other +
                                "', so switching off one would switch off both");
      }
    }
    names.push_back(name);
    auto file = ReadSourceFile(path, diag);
    if (!file) continue;
    auto dict = ParseDictionary(*file, name, diag);
    if (!dict) continue;
    CompiledDictionary compiled = CompileDictionary(*dict);
    outputs.push_back({kMethodOutFolder, name, std::move(compiled.dictionary)});
    if (!compiled.companion_name.empty()) {
      outputs.push_back({kMethodOutFolder, compiled.companion_name, std::move(compiled.companion)});
    }
  }
}

template <typename Compiler>
void CompileOne(const fs::path& source, const std::string& out_name, Compiler compiler,
                std::vector<OutputFile>& outputs, Diagnostics& diag) {
  auto file = ReadSourceFile(source.string(), diag);
  if (!file) return;
  auto bytes = compiler(*file, diag);
  if (bytes) outputs.push_back({kStaffsOutFolder, out_name, std::move(*bytes)});
}

void CompileEuropean(const fs::path& source_dir, std::vector<OutputFile>& outputs,
                     Diagnostics& diag) {
  size_t total = 0;
  for (int entry = kEuropeanFirstPart; entry <= kEuropeanLastPart; ++entry) {
    char name[7];
    EuropeanFileName(entry, name);
    const fs::path source = source_dir / "european" / (std::string(name) + ".txt");
    auto file = ReadSourceFile(source.string(), diag);
    if (!file) continue;
    auto bytes = CompileCharsetFile(*file, diag);
    if (!bytes) continue;
    total += bytes->size();
    outputs.push_back({kStaffsOutFolder, name, std::move(*bytes)});
  }
  // With every set switched on, the joined list must still fit whole.
  if (total > static_cast<size_t>(kEuropeanListMax)) {
    diag.Error((source_dir / "european").string(), 0,
               "charset files exceed 3000 bytes together (" + std::to_string(total) + ")");
  }
}

bool WriteWhole(const fs::path& path, const std::string& bytes) {
  const fs::path temp = path.string() + ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      std::error_code ec;
      fs::remove(temp, ec);
      return false;
    }
  }
  std::error_code ec;
  fs::rename(temp, path, ec);
  return !ec;
}

}  // namespace

std::vector<OutputFile> CompileTree(const std::string& source_dir_text, Diagnostics& diag) {
  const fs::path source_dir(source_dir_text);
  std::vector<OutputFile> outputs;
  CompileDictionaries(source_dir, outputs, diag);
  CompileOne(source_dir / "subject_ja.txt", kSubjectTableJapaneseName, CompileSubjectTable,
             outputs, diag);
  CompileOne(source_dir / "subject_en.txt", kSubjectTableEnglishName, CompileSubjectTable,
             outputs, diag);
  CompileOne(source_dir / "thresholds.txt", kThresholdFileName, CompileThresholds, outputs, diag);
  CompileOne(source_dir / "anon_from.txt", kAnonymousListAName, CompileSignList, outputs, diag);
  CompileOne(source_dir / "anon_msgid.txt", kAnonymousListBName, CompileSignList, outputs, diag);
  CompileEuropean(source_dir, outputs, diag);
  // The brand table belongs to an extension; a tree without it compiles.
  std::error_code exists_error;
  if (fs::exists(source_dir / "brands.txt", exists_error)) {
    CompileOne(source_dir / "brands.txt", "ZVRXBrand.txt", CompileBrandTable, outputs, diag);
  }
  if (!diag.ok()) outputs.clear();
  return outputs;
}

bool WriteOutputs(const std::string& out_dir_text, const std::vector<OutputFile>& outputs,
                  Diagnostics& diag) {
  const fs::path out_dir(out_dir_text);
  std::error_code ec;
  for (const char* folder : {kMethodOutFolder, kStaffsOutFolder}) {
    fs::create_directories(out_dir / folder, ec);
    if (ec) {
      diag.Error((out_dir / folder).string(), 0, "cannot create folder: " + ec.message());
      return false;
    }
  }
  std::set<std::string> written_method;
  for (const auto& output : outputs) {
    const fs::path path = out_dir / output.folder / output.name;
    if (!WriteWhole(path, output.bytes)) {
      diag.Error(path.string(), 0, "cannot be written");
      return false;
    }
    if (output.folder == kMethodOutFolder) written_method.insert(output.name);
  }
  for (const auto& item : fs::directory_iterator(out_dir / kMethodOutFolder, ec)) {
    const std::string name = item.path().filename().string();
    if (item.is_regular_file() && !written_method.count(name)) fs::remove(item.path(), ec);
  }
  return true;
}

}  // namespace zvrx::datac
