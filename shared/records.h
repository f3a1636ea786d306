// The four settings records shared by the checker and the settings program,
// byte for byte as they lie in their files and in the transfer block.
// Little-endian, texts NUL-terminated CP932 in fixed fields.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

namespace zvrx {

static_assert(std::endian::native == std::endian::little,
              "records are copied as raw little-endian bytes");

// Account and password texts: 85-byte fields, of which the edit fields fill
// at most 59 characters plus the terminator.
inline constexpr size_t kAccountFieldSize = 85;
inline constexpr size_t kAccountEditMax = 59;
inline constexpr int kAccountCount = 3;

// Switched-off dictionaries: 16 slots of 20 bytes; a slot is free when its
// text is shorter than 5 bytes.
inline constexpr int kDictionarySlots = 16;
inline constexpr size_t kDictionaryNameSize = 20;
inline constexpr size_t kDictionarySlotFreeBelow = 5;
// European character sets ISO-8859-n, one 8-byte entry per n (entry 0 unused).
inline constexpr int kEuropeanCharsets = 16;
inline constexpr size_t kEuropeanEntrySize = 8;

inline constexpr size_t kMailerPathSize = 120;
inline constexpr size_t kMailerArgumentsSize = 60;

// "ZVmi128": basic settings page.
struct [[gnu::packed]] BasicSettings {
  int16_t check_mode;        // 0 manual only .. 6 every 2 hours
  int16_t inspection_level;  // 0 rejection list, 1 comprehensive, 2 acceptance list
  uint16_t launch_flags;     // bit 0 = option bit 2, bit 1 = option bit 8
  uint16_t account_mask;     // bit n: account n+1 is checked
  char accounts[kAccountCount][kAccountFieldSize];   // "user@host"
  char passwords[kAccountCount][kAccountFieldSize];  // scrambled in the file only
};
static_assert(sizeof(BasicSettings) == 518);
static_assert(offsetof(BasicSettings, check_mode) == 0);
static_assert(offsetof(BasicSettings, inspection_level) == 2);
static_assert(offsetof(BasicSettings, launch_flags) == 4);
static_assert(offsetof(BasicSettings, account_mask) == 6);
static_assert(offsetof(BasicSettings, accounts[0]) == 8);
static_assert(offsetof(BasicSettings, accounts[1]) == 93);
static_assert(offsetof(BasicSettings, accounts[2]) == 178);
static_assert(offsetof(BasicSettings, passwords[0]) == 263);
static_assert(offsetof(BasicSettings, passwords[1]) == 348);
static_assert(offsetof(BasicSettings, passwords[2]) == 433);

inline constexpr int kCheckModeCount = 7;
inline constexpr int kInspectionLevelCount = 3;
// Modes from 2 on check on an interval; 0 and 1 do not.
inline constexpr int16_t kFirstIntervalMode = 2;

// Option word bits of NotifyOptions.
inline constexpr uint16_t kOptAutoSound = 1u << 0;
inline constexpr uint16_t kOptAutoDialog = 1u << 1;
inline constexpr uint16_t kOptAutoStartMailer = 1u << 2;
inline constexpr uint16_t kOptManualReport = 1u << 4;
inline constexpr uint16_t kOptManualStartMailer = 1u << 8;
// Bits 3, 5-7 and 9-15 are always 0.
inline constexpr uint16_t kOptValidBits = kOptAutoSound | kOptAutoDialog | kOptAutoStartMailer |
                                          kOptManualReport | kOptManualStartMailer;

// "ZVoi128": options page.
struct [[gnu::packed]] NotifyOptions {
  uint16_t option_bits;
  uint16_t word1;          // always 0
  uint32_t mailer_marker;  // nonzero while a mail program is chosen
};
static_assert(sizeof(NotifyOptions) == 8);
static_assert(offsetof(NotifyOptions, option_bits) == 0);
static_assert(offsetof(NotifyOptions, word1) == 2);
static_assert(offsetof(NotifyOptions, mailer_marker) == 4);

// "ZVdi128": judgment conditions page and its European-languages dialog.
struct [[gnu::packed]] JudgmentSettings {
  int16_t strictness;               // -1 lenient, 0 standard, 1 strict
  int16_t foreign_handling;         // 0 leave, 1 analyse as English, 2 delete
  int16_t unknown_format_handling;  // 0 leave, 1 analyse as text, 2 delete
  int16_t languages_changed;        // 1 only in a block copy: reload language tables
  char disabled_dictionaries[kDictionarySlots][kDictionaryNameSize];
  uint8_t european_charsets[kEuropeanCharsets][kEuropeanEntrySize];  // [n][0] = 1: as English
};
static_assert(sizeof(JudgmentSettings) == 456);
static_assert(offsetof(JudgmentSettings, strictness) == 0);
static_assert(offsetof(JudgmentSettings, foreign_handling) == 2);
static_assert(offsetof(JudgmentSettings, unknown_format_handling) == 4);
static_assert(offsetof(JudgmentSettings, languages_changed) == 6);
static_assert(offsetof(JudgmentSettings, disabled_dictionaries) == 8);
static_assert(offsetof(JudgmentSettings, european_charsets) == 328);

// List-reload flags of MailerSettings (meaningful only in the block).
inline constexpr uint8_t kReloadAcceptanceList = 1u << 0;
inline constexpr uint8_t kReloadRejectionList = 1u << 1;

// "ZVad128": the mail program (options page) and the list-reload flags.
struct [[gnu::packed]] MailerSettings {
  uint8_t reserved[44];
  char mailer_path[kMailerPathSize];
  char mailer_arguments[kMailerArgumentsSize];
  uint8_t list_reload_flags;
  uint8_t reserved_tail[3];
};
static_assert(sizeof(MailerSettings) == 228);
static_assert(offsetof(MailerSettings, mailer_path) == 44);
static_assert(offsetof(MailerSettings, mailer_arguments) == 164);
static_assert(offsetof(MailerSettings, list_reload_flags) == 224);
// The checker takes only this much of the record, from file and block alike.
inline constexpr size_t kMailerSettingsCheckerPart = 224;

// The four records as one program holds them in memory.
struct SettingsRecords {
  BasicSettings basic{};
  NotifyOptions options{};
  JudgmentSettings judgment{};
  MailerSettings mailer{};
};

// File names: the record's four letters followed by "128".
inline constexpr char kBasicSettingsName[] = "ZVmi";
inline constexpr char kNotifyOptionsName[] = "ZVoi";
inline constexpr char kJudgmentSettingsName[] = "ZVdi";
inline constexpr char kMailerSettingsName[] = "ZVad";
inline constexpr char kRecordNumber[] = "128";

// LaunchFlags from the option word: bit 0 = option bit 2, bit 1 = option bit 8.
uint16_t DeriveLaunchFlags(uint16_t option_bits);

// The account mask as the settings program leaves it when it closes: bit n
// set exactly when account n+1 is not empty.
uint16_t AccountMaskOnClose(const BasicSettings& basic);

// The account mask as a check request recomputes it: an empty account clears
// bit n, an account with a password sets it, an account without a password
// keeps it.
uint16_t AccountMaskForCheck(const BasicSettings& basic);

}  // namespace zvrx
