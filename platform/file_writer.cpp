#include "platform/file_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/drives.h"
#include "platform/retry.h"

namespace zvrx::platform {

FileWriter::~FileWriter() {
  if (!finished_) Abandon();
}

std::unique_ptr<FileWriter> FileWriter::CreateNew(std::string_view path) {
  const std::string host = HostPath(path);
  if (host.empty()) return nullptr;
  UniqueFd fd(open(host.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
  if (!fd) return nullptr;
  return std::unique_ptr<FileWriter>(new FileWriter(std::move(fd), std::string(path)));
}

bool FileWriter::Write(const void* data, size_t size) {
  if (!ok_ || !fd_) return false;
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t written = RetryOnInterrupt([&] { return write(fd_.get(), bytes, size); });
    if (written < 0) {
      ok_ = false;
      return false;
    }
    bytes += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

bool FileWriter::Finish() {
  if (!fd_) return false;
  bool ok = ok_ && fsync(fd_.get()) == 0;
  ok = fd_.Close() && ok;
  ok_ = ok;
  if (!ok) {
    unlink(HostPath(path_).c_str());
    return false;
  }
  finished_ = true;
  return true;
}

void FileWriter::Abandon() {
  fd_.reset();
  if (!finished_) unlink(HostPath(path_).c_str());
  finished_ = true;
  ok_ = false;
}

bool RenameFile(std::string_view from, std::string_view to) {
  return rename(HostPath(from).c_str(), HostPath(to).c_str()) == 0;
}

bool SyncFolder(std::string_view folder) {
  const UniqueFd fd(open(HostPath(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return fd && fsync(fd.get()) == 0;
}

}  // namespace zvrx::platform
