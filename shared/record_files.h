// Loading and saving the settings records in the data folder. The current
// folder is left alone: it belongs to the file dialogs the user sees.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "platform/named_lock.h"
#include "shared/records.h"

namespace zvrx {

// "ZVmi" -> "ZVmi128".
std::string RecordFileName(std::string_view record_name);

// Fills `record` with the first `size` bytes of the file in `folder` (a
// Windows path ending in a backslash), zero-filled after a short file. A
// missing folder, a missing file or an empty file counts as missing: the
// record is all zeros and the result is false.
bool LoadRecord(std::string_view folder, std::string_view record_name, void* record,
                size_t size);

// Every change of the settings files is made under this lock, so that two
// programs changing settings at once never lose one of the changes: a
// read-modify-write holds it from its read to its last save (and the
// delivery to a running checker), and every save takes it.
inline constexpr char kSettingsLockName[] = "ZvrxSettings";
// Longer than any holder keeps it: a zvrxctl command waits at most about
// five seconds for a running checker to take its delivery.
inline constexpr int kSettingsLockWaitMs = 15000;
std::unique_ptr<platform::NamedLock> LockSettings(int wait_ms = kSettingsLockWaitMs);

// Replaces the file in `folder` with exactly `size` bytes, under the
// settings lock. The old file stays intact when the write fails. True only
// when every byte was written.
bool SaveRecord(std::string_view folder, std::string_view record_name, const void* record,
                size_t size);

// The records below are those of the data folder.
// "ZVmi128" with its passwords unscrambled after loading.
bool LoadBasicSettings(BasicSettings& basic);
// Saves with the passwords scrambled; the record in memory (and so in the
// block) keeps its plain passwords.
bool SaveBasicSettings(const BasicSettings& basic);

bool LoadNotifyOptions(NotifyOptions& options);
bool SaveNotifyOptions(const NotifyOptions& options);
bool LoadJudgmentSettings(JudgmentSettings& judgment);
// The language-options changed flag belongs to the block copy alone; the
// file always holds 0 there.
bool SaveJudgmentSettings(const JudgmentSettings& judgment);
bool LoadMailerSettings(MailerSettings& mailer);
bool SaveMailerSettings(const MailerSettings& mailer);

}  // namespace zvrx
