// Files and folders by Windows path (see drives.h). All names are CP932.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zvrx::platform {

// The file's bytes from `offset` on, at most max_bytes of them; nullopt when
// the file is missing or cannot be read.
std::optional<std::vector<char>> ReadFileBytes(std::string_view path,
                                               size_t max_bytes = SIZE_MAX,
                                               int64_t offset = 0);

// Replaces the file with exactly these bytes. The new contents are written
// to a temporary file beside it and renamed over it, so a failed write never
// leaves a truncated file behind. True only when every byte was written.
bool WriteFileBytes(std::string_view path, const void* data, size_t size);

// The same replacement for a file that only its owner may read: the new
// file has mode 0600 whatever mode an older one had.
bool WritePrivateFileBytes(std::string_view path, const void* data, size_t size);

// Appends the bytes, creating the file if missing. True when all were
// written; when not, the file is cut back to its old length, so it never
// ends in half a record.
bool AppendFileBytes(std::string_view path, const void* data, size_t size);

bool DeleteFile(std::string_view path);
bool FileExists(std::string_view path);  // a regular file
bool FolderExists(std::string_view path);
// Size in bytes, -1 when missing.
int64_t FileSize(std::string_view path);

bool CreateFolder(std::string_view path);  // one level, like CreateDirectory
bool RemoveFolder(std::string_view path);  // must be empty

// Entries matching a FindFirstFile pattern such as "C:\X\Method\*.*" or
// "*.*" (relative to the current folder): names only (CP932), in the order
// the file system returns them, without "." and "..". '*' and '?' are
// wildcards ('?' is one character, single- or double-byte); "*.*" matches
// every name, with or without a dot, and a trailing ".*" also matches no
// extension. Letters match without regard to ASCII case, as on Windows.
std::vector<std::string> ListFolder(std::string_view pattern);

// Bytes free for an unprivileged user on the volume holding the path,
// -1 on failure.
int64_t FreeDiskSpace(std::string_view path);

}  // namespace zvrx::platform
