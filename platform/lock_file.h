// Lock files under <prefix>/run: the stand-in for named objects that
// Windows removes when their owner dies. flock locks die with their process,
// so a crashed owner never leaves a lock that still looks held.
#pragma once

#include <string>
#include <string_view>

#include "platform/unique_fd.h"

namespace zvrx::platform {

// <prefix>/run, created (with the prefix) when missing; "" on failure.
std::string RunFolder();

// A CP932 object name as one host file name: UTF-8, '/' replaced by '_'.
std::string RunFileName(std::string_view cp932_name);

// Creates `path` if needed and locks it exclusively without waiting.
// Returns the descriptor (close-on-exec), or none with errno (EWOULDBLOCK
// when a live process holds it).
UniqueFd LockFileExclusive(const std::string& path);

// Is `path` held exclusively by a live process (our own included)?
bool LockFileHeld(const std::string& path);

// Removes the file while still holding it, then releases it.
void ReleaseLockFile(UniqueFd& fd, const std::string& path);

}  // namespace zvrx::platform
