#include "shared/record_files.h"

#include <cstring>

#include "platform/files.h"
#include "shared/locations.h"
#include "shared/scramble_text.h"

namespace zvrx {

std::string RecordFileName(std::string_view record_name) {
  return std::string(record_name) + kRecordNumber;
}

bool LoadRecord(std::string_view folder, std::string_view record_name, void* record,
                size_t size) {
  std::memset(record, 0, size);
  const std::string file = std::string(folder) + RecordFileName(record_name);
  if (platform::FileSize(file) <= 0) return false;
  auto bytes = platform::ReadFileBytes(file, size);
  if (!bytes || bytes->empty()) return false;
  std::memcpy(record, bytes->data(), bytes->size() < size ? bytes->size() : size);
  return true;
}

std::unique_ptr<platform::NamedLock> LockSettings(int wait_ms) {
  return platform::NamedLock::Acquire(kSettingsLockName, wait_ms);
}

bool SaveRecord(std::string_view folder, std::string_view record_name, const void* record,
                size_t size) {
  auto lock = LockSettings();
  if (!lock) return false;
  return platform::WriteFileBytes(std::string(folder) + RecordFileName(record_name), record, size);
}

bool LoadBasicSettings(BasicSettings& basic) {
  bool found = LoadRecord(DataFolder(), kBasicSettingsName, &basic, sizeof basic);
  ScramblePasswords(basic);
  return found;
}

bool SaveBasicSettings(const BasicSettings& basic) {
  // Scramble a copy: unscrambling in place would stop at a byte that
  // scrambled to zero and leave the rest of the password scrambled in memory.
  BasicSettings stored = basic;
  ScramblePasswords(stored);
  return SaveRecord(DataFolder(), kBasicSettingsName, &stored, sizeof stored);
}

bool LoadNotifyOptions(NotifyOptions& options) {
  return LoadRecord(DataFolder(), kNotifyOptionsName, &options, sizeof options);
}

bool SaveNotifyOptions(const NotifyOptions& options) {
  return SaveRecord(DataFolder(), kNotifyOptionsName, &options, sizeof options);
}

bool LoadJudgmentSettings(JudgmentSettings& judgment) {
  return LoadRecord(DataFolder(), kJudgmentSettingsName, &judgment, sizeof judgment);
}

bool SaveJudgmentSettings(const JudgmentSettings& judgment) {
  JudgmentSettings stored = judgment;
  stored.languages_changed = 0;
  return SaveRecord(DataFolder(), kJudgmentSettingsName, &stored, sizeof stored);
}

bool LoadMailerSettings(MailerSettings& mailer) {
  return LoadRecord(DataFolder(), kMailerSettingsName, &mailer, sizeof mailer);
}

bool SaveMailerSettings(const MailerSettings& mailer) {
  return SaveRecord(DataFolder(), kMailerSettingsName, &mailer, sizeof mailer);
}

}  // namespace zvrx
