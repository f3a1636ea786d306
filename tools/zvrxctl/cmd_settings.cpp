// zvrxctl init, account, mode, level, options, strictness and show: the
// settings records of a prefix, saved exactly as the settings program saves
// them. Every command checks all of its input before it writes anything.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "checker/analysis/analysis_state.h"
#include "platform/cp932.h"
#include "platform/drives.h"
#include "platform/files.h"
#include "platform/parse_integer.h"
#include "shared/list_files.h"
#include "shared/locations.h"
#include "shared/record_files.h"
#include "shared/records.h"
#include "shared/work_log_format.h"
#include "tools/zvrxctl/commands.h"
#include "tools/zvrxctl/delivery.h"

namespace zvrx::ctl {

bool ParseNumber(const std::string& text, bool allow_hex, long low, long high, long* value) {
  int base = 10;
  std::string_view digits = text;
  if (allow_hex && (digits.starts_with("0x") || digits.starts_with("0X"))) {
    base = 16;
    digits.remove_prefix(2);
  }
  if (base == 16 && digits.starts_with('-')) return false;  // a minus only before decimals
  const std::optional<long> parsed = platform::ParseInteger<long>(digits, base);
  if (!parsed || *parsed < low || *parsed > high) return false;
  *value = *parsed;
  return true;
}

namespace {

bool IsPrintableAscii(const std::string& text) {
  for (unsigned char c : text) {
    if (c < 0x20 || c > 0x7E) return false;
  }
  return true;
}

void SetText(char* field, size_t field_size, const std::string& text) {
  std::memset(field, 0, field_size);
  std::memcpy(field, text.data(), text.size() < field_size ? text.size() : field_size - 1);
}

// The settings program refreshes LaunchFlags from the options whenever a
// page opens, so a saved "ZVmi128" carries them as the options stand.
// The account mask is the one the program leaves when it closes.
int SaveBasic(BasicSettings& basic) {
  NotifyOptions options{};
  LoadNotifyOptions(options);
  basic.launch_flags = DeriveLaunchFlags(options.option_bits);
  basic.account_mask = AccountMaskOnClose(basic);
  if (!SaveBasicSettings(basic)) return Fail("cannot write ZVmi128 (run init first)");
  DeliverToRunningChecker({});
  return 0;
}

// Creates every missing level of a Windows folder path such as
// "C:\Program Files\ZVRX\Zvrx Staffs\".
bool CreateFolderPath(const std::string& path) {
  for (size_t cut = path.find('\\', 3); cut != std::string::npos;
       cut = path.find('\\', cut + 1)) {
    std::string level = path.substr(0, cut);
    if (!platform::FolderExists(level) && !platform::CreateFolder(level)) return false;
  }
  return platform::FolderExists(path) || platform::CreateFolder(path);
}

// Files the programs write for the user; delivered data never replaces them.
bool IsUserFile(const std::string& name) {
  const std::string user_files[] = {
      RecordFileName(kBasicSettingsName), RecordFileName(kNotifyOptionsName),
      RecordFileName(kJudgmentSettingsName), RecordFileName(kMailerSettingsName),
      kAcceptanceListName, kRejectionListName, kWorkLogName};
  for (const auto& user_file : user_files) {
    if (name == user_file) return true;
  }
  return false;
}

// Copies the files (not the subfolders) of a host folder into a Windows
// folder. A missing source folder copies nothing.
bool CopyDelivered(const std::filesystem::path& source, const std::string& target) {
  std::error_code ec;
  if (!std::filesystem::is_directory(source, ec)) return true;
  for (const auto& entry : std::filesystem::directory_iterator(source, ec)) {
    if (!entry.is_regular_file(ec)) continue;
    std::string name = platform::Utf8ToCp932(entry.path().filename().string());
    std::string target_file = target + name;
    if (IsUserFile(name) && platform::FileExists(target_file)) continue;
    auto bytes = platform::ReadFileBytes(platform::WindowsPath(entry.path().string()));
    if (!bytes || !platform::WriteFileBytes(target_file, bytes->data(), bytes->size())) {
      return false;
    }
  }
  return !ec;
}

const char* const kModeNames[kCheckModeCount] = {
    "manual only",     "at start-up only", "every 10 minutes", "every 20 minutes",
    "every 30 minutes", "every hour",      "every 2 hours"};
const char* const kLevelNames[kInspectionLevelCount] = {
    "judge by the rejection list", "judge the mail comprehensively",
    "judge by the acceptance list"};

const char* StrictnessName(int16_t value) {
  switch (value) {
    case -1: return "slightly lenient";
    case 0: return "standard";
    case 1: return "slightly strict";
    default: return "unknown";
  }
}

const char* NameOf(const char* const* names, int count, int16_t value) {
  return value >= 0 && value < count ? names[value] : "unknown";
}

// A fixed CP932 field as UTF-8, stopping at its terminator or its end.
std::string FieldText(const char* field, size_t size) {
  return platform::Cp932ToUtf8(std::string_view(field, strnlen(field, size)));
}

const char* OnOff(uint16_t bits, uint16_t bit) { return (bits & bit) ? "on" : "off"; }

bool FieldEnds(const char* field, size_t size) { return strnlen(field, size) < size; }

// Why a settings file holds what no program writes (every program saves
// the whole record and only values of its choices); empty when it is sound
// or missing.
std::string SizeDamage(std::string_view record_name, size_t size) {
  const int64_t file_size = platform::FileSize(DataFolder() + RecordFileName(record_name));
  if (file_size <= 0 || static_cast<size_t>(file_size) == size) return {};
  return std::to_string(file_size) + " bytes, " + std::to_string(size) + " expected";
}

std::string BasicDamage(const BasicSettings& basic) {
  std::string size = SizeDamage(kBasicSettingsName, sizeof basic);
  if (!size.empty()) return size;
  if (basic.check_mode < 0 || basic.check_mode >= kCheckModeCount) return "no such check mode";
  if (basic.inspection_level < 0 || basic.inspection_level >= kInspectionLevelCount) {
    return "no such inspection level";
  }
  if ((basic.account_mask & ~0x7u) != 0 || (basic.launch_flags & ~0x3u) != 0) {
    return "bits no program sets";
  }
  for (int n = 0; n < kAccountCount; ++n) {
    if (!FieldEnds(basic.accounts[n], kAccountFieldSize) ||
        !FieldEnds(basic.passwords[n], kAccountFieldSize)) {
      return "an account or password without its end";
    }
  }
  return {};
}

std::string OptionsDamage(const NotifyOptions& options) {
  std::string size = SizeDamage(kNotifyOptionsName, sizeof options);
  if (!size.empty()) return size;
  if ((options.option_bits & ~kOptValidBits) != 0 || options.word1 != 0) {
    return "bits no program sets";
  }
  return {};
}

std::string JudgmentDamage(const JudgmentSettings& judgment) {
  std::string size = SizeDamage(kJudgmentSettingsName, sizeof judgment);
  if (!size.empty()) return size;
  if (judgment.strictness < -1 || judgment.strictness > 1) return "no such strictness";
  if (judgment.foreign_handling < 0 || judgment.foreign_handling > 2 ||
      judgment.unknown_format_handling < 0 || judgment.unknown_format_handling > 2) {
    return "no such handling";
  }
  for (const auto& slot : judgment.disabled_dictionaries) {
    if (!FieldEnds(slot, kDictionaryNameSize)) return "a dictionary name without its end";
  }
  for (const auto& entry : judgment.european_charsets) {
    if (entry[0] > 1) return "a European character set neither on nor off";
  }
  return {};
}

std::string MailerDamage(const MailerSettings& mailer) {
  std::string size = SizeDamage(kMailerSettingsName, sizeof mailer);
  if (!size.empty()) return size;
  if (!FieldEnds(mailer.mailer_path, kMailerPathSize) ||
      !FieldEnds(mailer.mailer_arguments, kMailerArgumentsSize)) {
    return "a text without its end";
  }
  return {};
}

const char* FileState(bool present, const std::string& damage) {
  if (!present) return "missing";
  return damage.empty() ? "present" : "damaged";
}

// The delivered data as the checker would load it: what was refused or is
// missing, and whether the text analysis works.
std::string DataLine(const JudgmentSettings* judgment) {
  AnalysisState state;
  LoadAnalysisState(state, judgment);
  std::string line;
  for (const DataProblem& problem : DataProblems(state)) {
    line += (line.empty() ? "" : "; ") + DescribeDataProblem(problem);
  }
  const int count = state.scoring.dictionaries.count;
  if (state.scoring.tables.text_analysis_off) {
    line += (line.empty() ? "" : "; ") + std::string("text analysis off");
  } else {
    line += (line.empty() ? "sound; " : "; ") + std::to_string(count) + " dictionar" +
            (count == 1 ? "y" : "ies") + " loaded";
  }
  return line;
}

}  // namespace

int RunInit(const Args& args) {
  std::filesystem::path dist;
  if (args.size() == 2 && args[0] == "--data") {
    dist = std::filesystem::absolute(args[1]);
    std::error_code ec;
    if (!std::filesystem::is_directory(dist, ec)) {
      return Fail("init: no distribution folder " + args[1]);
    }
  } else if (!args.empty()) {
    return Fail("init takes only --data DIST");
  }
  std::error_code ec;
  const bool new_prefix = !std::filesystem::exists(platform::Prefix(), ec);
  std::filesystem::create_directories(platform::Prefix() + "/drive_c", ec);
  // The machine's folders are its owner's alone (the files in them hold the
  // passwords); a prefix someone else made keeps its own mode.
  const auto owner_only = std::filesystem::perms::owner_all;
  if (new_prefix) std::filesystem::permissions(platform::Prefix(), owner_only, ec);
  std::filesystem::permissions(platform::Prefix() + "/drive_c", owner_only, ec);
  if (!CreateFolderPath(platform::GetWindowsDirectory()) || !CreateFolderPath(DataFolder()) ||
      !CreateFolderPath(MethodFolder())) {
    return Fail("init: cannot create the folders under " + platform::Prefix());
  }
  if (!dist.empty()) {
    if (!CopyDelivered(dist / "Zvrx Staffs", DataFolder()) ||
        !CopyDelivered(dist / "Method", MethodFolder())) {
      return Fail("init: cannot copy the delivered data of " + dist.string());
    }
  }
  return 0;
}

int RunAccount(const Args& args) {
  long number = 0;
  if (args.empty() || !ParseNumber(args[0], false, 1, kAccountCount, &number)) {
    return Fail("account: N must be 1, 2 or 3");
  }
  bool clear = args.size() == 2 && args[1] == "--clear";
  if (!clear) {
    if (args.size() != 3) return Fail("account: give USER@HOST PASS, or --clear");
    const std::string& account = args[1];
    const std::string& password = args[2];
    size_t at = account.find('@');
    if (account.empty() || account.size() > kAccountEditMax || !IsPrintableAscii(account) ||
        at == 0 || at == std::string::npos || at + 1 == account.size()) {
      return Fail("account: USER@HOST must be 1 to 59 printable ASCII characters");
    }
    if (password.empty() || password.size() > kAccountEditMax || !IsPrintableAscii(password)) {
      return Fail("account: the password must be 1 to 59 printable ASCII characters");
    }
  }
  BasicSettings basic{};
  LoadBasicSettings(basic);
  size_t index = static_cast<size_t>(number - 1);
  SetText(basic.accounts[index], kAccountFieldSize, clear ? std::string() : args[1]);
  SetText(basic.passwords[index], kAccountFieldSize, clear ? std::string() : args[2]);
  return SaveBasic(basic);
}

int RunMode(const Args& args) {
  long mode = 0;
  if (args.size() != 1 || !ParseNumber(args[0], false, 0, kCheckModeCount - 1, &mode)) {
    return Fail("mode: N must be 0 to 6");
  }
  BasicSettings basic{};
  LoadBasicSettings(basic);
  basic.check_mode = static_cast<int16_t>(mode);
  return SaveBasic(basic);
}

int RunLevel(const Args& args) {
  long level = 0;
  if (args.size() != 1 || !ParseNumber(args[0], false, 0, kInspectionLevelCount - 1, &level)) {
    return Fail("level: N must be 0, 1 or 2");
  }
  BasicSettings basic{};
  LoadBasicSettings(basic);
  basic.inspection_level = static_cast<int16_t>(level);
  return SaveBasic(basic);
}

int RunOptions(const Args& args) {
  long bits = 0;
  if (args.size() != 1 || !ParseNumber(args[0], true, 0, 0xFFFF, &bits) ||
      (bits & ~static_cast<long>(kOptValidBits)) != 0) {
    return Fail("options: N may hold only bits 0, 1, 2, 4 and 8 (at most 0x117)");
  }
  NotifyOptions options{};
  LoadNotifyOptions(options);
  options.option_bits = static_cast<uint16_t>(bits);
  if (!SaveNotifyOptions(options)) return Fail("cannot write ZVoi128 (run init first)");
  DeliverToRunningChecker({});
  return 0;
}

int RunStrictness(const Args& args) {
  long strictness = 0;
  if (args.size() != 1 || !ParseNumber(args[0], false, -1, 1, &strictness)) {
    return Fail("strictness: N must be -1, 0 or 1");
  }
  JudgmentSettings judgment{};
  LoadJudgmentSettings(judgment);
  judgment.strictness = static_cast<int16_t>(strictness);
  if (!SaveJudgmentSettings(judgment)) return Fail("cannot write ZVdi128 (run init first)");
  DeliverToRunningChecker({});
  return 0;
}

int RunShow(const Args& args) {
  if (!args.empty()) return Fail("show takes no arguments");
  SettingsRecords records;
  bool have_basic = LoadBasicSettings(records.basic);
  bool have_options = LoadNotifyOptions(records.options);
  bool have_judgment = LoadJudgmentSettings(records.judgment);
  bool have_mailer = LoadMailerSettings(records.mailer);
  const BasicSettings& basic = records.basic;
  const NotifyOptions& options = records.options;
  const JudgmentSettings& judgment = records.judgment;

  const std::string basic_damage = have_basic ? BasicDamage(basic) : std::string();
  const std::string options_damage = have_options ? OptionsDamage(options) : std::string();
  const std::string judgment_damage = have_judgment ? JudgmentDamage(judgment) : std::string();
  const std::string mailer_damage = have_mailer ? MailerDamage(records.mailer) : std::string();

  std::printf("prefix: %s\n", platform::Prefix().c_str());
  std::printf("data folder: %s\n", platform::Cp932ToUtf8(DataFolder()).c_str());
  std::printf("files: ZVmi128 %s, ZVoi128 %s, ZVdi128 %s, ZVad128 %s\n",
              FileState(have_basic, basic_damage), FileState(have_options, options_damage),
              FileState(have_judgment, judgment_damage), FileState(have_mailer, mailer_damage));
  for (const auto& [name, damage] :
       {std::pair{"ZVmi128", &basic_damage}, std::pair{"ZVoi128", &options_damage},
        std::pair{"ZVdi128", &judgment_damage}, std::pair{"ZVad128", &mailer_damage}}) {
    if (!damage->empty()) std::printf("%s is damaged (%s)\n", name, damage->c_str());
  }
  std::printf("data: %s\n", DataLine(have_judgment && judgment_damage.empty() ? &judgment
                                                                              : nullptr)
                                 .c_str());
  if (!basic_damage.empty()) {
    // Garbage shown as settings would look like settings.
    std::printf("basic settings: damaged (save them again with account, mode and level)\n");
  } else {
    std::printf("check mode: %d (%s)\n", basic.check_mode,
                NameOf(kModeNames, kCheckModeCount, basic.check_mode));
    std::printf("inspection level: %d (%s)\n", basic.inspection_level,
                NameOf(kLevelNames, kInspectionLevelCount, basic.inspection_level));
    for (int n = 0; n < kAccountCount; ++n) {
      std::string account = FieldText(basic.accounts[n], kAccountFieldSize);
      std::printf("account %d: %s, password %s, %s\n", n + 1,
                  account.empty() ? "(none)" : account.c_str(),
                  basic.passwords[n][0] != '\0' ? "********" : "(none)",
                  (basic.account_mask >> n) & 1 ? "enabled" : "disabled");
    }
    std::printf("account mask: 0x%04x\n", basic.account_mask);
    std::printf("launch flags: 0x%04x\n", basic.launch_flags);
  }
  uint16_t bits = options.option_bits;
  std::printf("options: 0x%04x\n", bits);
  std::printf("  automatic check, new mail: sound %s, dialog %s, start mail program %s\n",
              OnOff(bits, kOptAutoSound), OnOff(bits, kOptAutoDialog),
              OnOff(bits, kOptAutoStartMailer));
  std::printf("  manual check: report dialog %s, start mail program on new mail %s\n",
              OnOff(bits, kOptManualReport), OnOff(bits, kOptManualStartMailer));
  std::printf("strictness: %d (%s)\n", judgment.strictness, StrictnessName(judgment.strictness));
  std::printf("mail neither Japanese nor English: %d (%s)\n", judgment.foreign_handling,
              ForeignHandlingName(judgment.foreign_handling));
  std::printf("mail of unrecognised format: %d (%s)\n", judgment.unknown_format_handling,
              UnclearHandlingName(judgment.unknown_format_handling));
  ShowExtensionSettings();
  std::string dictionaries;
  for (const auto& slot : judgment.disabled_dictionaries) {
    if (strnlen(slot, kDictionaryNameSize) < kDictionarySlotFreeBelow) continue;
    if (!dictionaries.empty()) dictionaries += ", ";
    dictionaries += FieldText(slot, kDictionaryNameSize);
  }
  std::printf("dictionaries switched off: %s\n",
              dictionaries.empty() ? "(none)" : dictionaries.c_str());
  std::string charsets;
  for (int n = 1; n < kEuropeanCharsets; ++n) {
    if (judgment.european_charsets[n][0] != 1) continue;
    if (!charsets.empty()) charsets += ", ";
    charsets += "ISO-8859-" + std::to_string(n);
  }
  std::printf("European character sets read as English: %s\n",
              charsets.empty() ? "(none)" : charsets.c_str());
  for (const auto& [title, name] : {std::pair{"acceptance list", kAcceptanceListName},
                                    std::pair{"rejection list", kRejectionListName}}) {
    auto list = platform::ReadFileBytes(DataFolder() + name);
    const long entries = list ? std::count(list->begin(), list->end(), '\n') : 0;
    std::printf("%s: %ld entr%s\n", title, entries, entries == 1 ? "y" : "ies");
  }
  std::string mailer = FieldText(records.mailer.mailer_path, kMailerPathSize);
  std::string arguments = FieldText(records.mailer.mailer_arguments, kMailerArgumentsSize);
  std::printf("mail program: %s\n", mailer.empty() ? "(none)" : mailer.c_str());
  std::printf("mail program arguments: %s\n", arguments.empty() ? "(none)" : arguments.c_str());
  return std::fflush(stdout) == 0 ? 0 : 2;
}

}  // namespace zvrx::ctl
