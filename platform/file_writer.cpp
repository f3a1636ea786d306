#include "platform/file_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/drives.h"

namespace zvrx::platform {

FileWriter::~FileWriter() {
  if (!finished_) Abandon();
}

std::unique_ptr<FileWriter> FileWriter::CreateNew(std::string_view path) {
  const std::string host = HostPath(path);
  if (host.empty()) return nullptr;
  int fd = open(host.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return nullptr;
  return std::unique_ptr<FileWriter>(new FileWriter(fd, std::string(path)));
}

bool FileWriter::Write(const void* data, size_t size) {
  if (!ok_ || fd_ < 0) return false;
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t written = write(fd_, bytes, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      ok_ = false;
      return false;
    }
    bytes += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

bool FileWriter::Finish() {
  if (fd_ < 0) return false;
  bool ok = ok_ && fsync(fd_) == 0;
  ok = close(fd_) == 0 && ok;
  fd_ = -1;
  ok_ = ok;
  if (!ok) {
    unlink(HostPath(path_).c_str());
    return false;
  }
  finished_ = true;
  return true;
}

void FileWriter::Abandon() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  if (!finished_) unlink(HostPath(path_).c_str());
  finished_ = true;
  ok_ = false;
}

bool RenameFile(std::string_view from, std::string_view to) {
  return rename(HostPath(from).c_str(), HostPath(to).c_str()) == 0;
}

bool SyncFolder(std::string_view folder) {
  int fd = open(HostPath(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = fsync(fd) == 0;
  close(fd);
  return ok;
}

}  // namespace zvrx::platform
