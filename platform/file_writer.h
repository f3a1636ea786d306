// A file written piece by piece under a name no other file has, then made
// durable and renamed into place: what a copy needs that must never be
// seen half-written under its final name.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "platform/unique_fd.h"

namespace zvrx::platform {

class FileWriter {
 public:
  ~FileWriter();  // an unfinished file is removed
  FileWriter(const FileWriter&) = delete;
  FileWriter& operator=(const FileWriter&) = delete;

  // Creates the file (mode 0600); null when a file of that name exists or
  // it cannot be made.
  static std::unique_ptr<FileWriter> CreateNew(std::string_view path);

  // False once any write failed (a full disk): later writes do nothing.
  bool Write(const void* data, size_t size);
  // Writes out and closes; true only when every byte reached the disk.
  bool Finish();
  // Closes and removes the file.
  void Abandon();

  bool ok() const { return ok_; }
  const std::string& path() const { return path_; }

 private:
  FileWriter(UniqueFd fd, std::string path) : fd_(std::move(fd)), path_(std::move(path)) {}
  UniqueFd fd_;
  std::string path_;  // Windows path
  bool ok_ = true;
  bool finished_ = false;
};

// Renames within one volume, replacing `to` when it exists.
bool RenameFile(std::string_view from, std::string_view to);
// Makes the renames and removals in a folder durable.
bool SyncFolder(std::string_view folder);

}  // namespace zvrx::platform
