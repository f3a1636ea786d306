// zvrxctl handling, european and dictionaries: the choices of the judgment
// page and its European-languages dialog, saved in "ZVdi128" as the page
// saves them and delivered to a running checker.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/files.h"
#include "settings/model/dictionary_list.h"
#include "settings/model/european_sets.h"
#include "shared/locations.h"
#include "shared/record_files.h"
#include "shared/records.h"
#include "tools/zvrxctl/commands.h"
#include "tools/zvrxctl/delivery.h"

namespace zvrx::ctl {

namespace {

// The checker loads at most this many dictionaries, and so many slots can
// switch one off.
constexpr size_t kLoadedDictionaries = kDictionarySlots;

const char* const kForeignNames[] = {"keep without analysing", "analyse as English",
                                     "delete without analysing"};
const char* const kUnclearNames[] = {"keep without analysing", "analyse as text",
                                     "delete without analysing"};

const EuropeanSet* SetOf(long part) {
  for (const EuropeanSet& set : kEuropeanSets) {
    if (std::find(set.parts.begin(), set.parts.end(), part) != set.parts.end()) return &set;
  }
  return nullptr;
}

int SaveJudgment(const JudgmentSettings& judgment, const DeliveryRequest& request) {
  if (!SaveJudgmentSettings(judgment)) return Fail("cannot write ZVdi128 (run init first)");
  DeliverToRunningChecker(request);
  return 0;
}

// The Method folder's dictionaries as the checker collects them: the first
// sixteen that qualify, in byte order.
std::vector<std::string> MethodDictionaries() {
  std::vector<std::string> names;
  if (!platform::FolderExists(MethodFolder())) return names;
  for (const std::string& entry : platform::ListFolder(MethodFolder() + "*.*")) {
    if (names.size() == kLoadedDictionaries) break;
    if (QualifiesAsDictionary(entry)) names.push_back(entry);
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool SwitchedOff(const JudgmentSettings& judgment, const std::string& name) {
  for (const auto& slot : judgment.disabled_dictionaries) {
    if (SwitchedOffBySlot(slot, name)) return true;
  }
  return false;
}

// An already switched-off name keeps its slot rather than taking a second.
bool SwitchDictionary(JudgmentSettings& judgment, const std::vector<std::string>& names,
                      const std::string& name, bool on) {
  if (on) {
    SwitchDictionaryOn(judgment, name);
    return true;
  }
  return SwitchedOff(judgment, name) || SwitchDictionaryOff(judgment, names, name);
}

bool ParseOnOff(const std::string& text, bool* on) {
  if (text == "on" || text == "off") {
    *on = text == "on";
    return true;
  }
  return false;
}

}  // namespace

int RunHandling(const Args& args) {
  long choice = 0;
  if (args.size() != 2 || (args[0] != "foreign" && args[0] != "unclear") ||
      !ParseNumber(args[1], false, 0, 2, &choice)) {
    return Fail("handling: give foreign N or unclear N, N 0 keep, 1 analyse, 2 delete");
  }
  JudgmentSettings judgment{};
  LoadJudgmentSettings(judgment);
  (args[0] == "foreign" ? judgment.foreign_handling : judgment.unknown_format_handling) =
      static_cast<int16_t>(choice);
  return SaveJudgment(judgment, {});
}

const char* ForeignHandlingName(int16_t value) {
  return value >= 0 && value <= 2 ? kForeignNames[value] : "unknown";
}
const char* UnclearHandlingName(int16_t value) {
  return value >= 0 && value <= 2 ? kUnclearNames[value] : "unknown";
}

int RunEuropean(const Args& args) {
  JudgmentSettings judgment{};
  const bool have = LoadJudgmentSettings(judgment);
  if (args.empty()) {
    if (!have && !platform::FolderExists(DataFolder())) return Fail("european: run init first");
    for (const EuropeanSet& set : kEuropeanSets) {
      std::string parts;
      for (int part : set.parts) {
        parts += (parts.empty() ? "ISO-8859-" : ", ISO-8859-") + std::to_string(part);
      }
      std::printf("%s (%s): %s\n", parts.c_str(), set.languages,
                  judgment.european_charsets[*set.parts.begin()][0] == 1 ? "on" : "off");
    }
    return std::fflush(stdout) == 0 ? 0 : 2;
  }
  if (args.size() % 2 != 0) return Fail("european: give pairs of N on|off");
  for (size_t i = 0; i < args.size(); i += 2) {
    long part = 0;
    bool on = false;
    if (!ParseNumber(args[i], false, 1, kEuropeanCharsets - 1, &part) || SetOf(part) == nullptr) {
      return Fail("european: N must be one of 1 2 3 4 9 10 11 12 13 14 15 (the dialog's sets)");
    }
    if (!ParseOnOff(args[i + 1], &on)) return Fail("european: say on or off after " + args[i]);
    // The dialog switches a box's parts together.
    for (int p : SetOf(part)->parts) judgment.european_charsets[p][0] = on ? 1 : 0;
  }
  DeliveryRequest request;
  request.languages_changed = true;
  return SaveJudgment(judgment, request);
}

int RunDictionaries(const Args& args) {
  JudgmentSettings judgment{};
  LoadJudgmentSettings(judgment);
  if (!platform::FolderExists(MethodFolder())) return Fail("dictionaries: run init first");
  const std::vector<std::string> names = MethodDictionaries();
  if (args.empty()) {
    for (const std::string& name : names) {
      std::printf("%s: %s\n", name.c_str(), SwitchedOff(judgment, name) ? "off" : "on");
    }
    return std::fflush(stdout) == 0 ? 0 : 2;
  }
  if (args.size() % 2 != 0) return Fail("dictionaries: give pairs of NAME on|off");
  for (size_t i = 0; i < args.size(); i += 2) {
    bool on = false;
    if (std::find(names.begin(), names.end(), args[i]) == names.end()) {
      return Fail("dictionaries: no dictionary " + args[i] + " in the Method folder");
    }
    if (!ParseOnOff(args[i + 1], &on)) return Fail("dictionaries: say on or off after " + args[i]);
    if (!SwitchDictionary(judgment, names, args[i], on)) {
      return Fail("dictionaries: no free slot to switch " + args[i] + " off");
    }
  }
  DeliveryRequest request;
  request.languages_changed = true;
  return SaveJudgment(judgment, request);
}

}  // namespace zvrx::ctl
