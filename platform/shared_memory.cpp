#include "platform/shared_memory.h"

#include <fcntl.h>
#include <dirent.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/drives.h"
#include "platform/lock_file.h"
#include "platform/unique_fd.h"

namespace zvrx::platform {
namespace {

constexpr uint64_t kFnvOffset = 14695981039346656037ULL;
constexpr uint64_t kFnvPrime = 1099511628211ULL;

uint64_t Fnv1a64(std::string_view text) {
  uint64_t hash = kFnvOffset;
  for (char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= kFnvPrime;
  }
  return hash;
}

std::string PrefixHash() {
  char hash[17];
  std::snprintf(hash, sizeof(hash), "%016llx",
                static_cast<unsigned long long>(Fnv1a64(Prefix())));
  return hash;
}

// "/zvrx-<name>-<hash of the prefix>": two prefixes (two test machines)
// never share a block. False when it does not fit.
bool MakeShmName(std::string_view name, char* out, size_t capacity) {
  std::string full = "/zvrx-" + RunFileName(name) + "-" + PrefixHash();
  if (full.size() >= capacity || full.size() > NAME_MAX) return false;
  std::memcpy(out, full.c_str(), full.size() + 1);
  return true;
}

void SetError(int* error, int value) {
  if (error != nullptr) *error = value;
}

volatile uint8_t* MapShared(int fd, size_t size) {
  void* address = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  return address == MAP_FAILED ? nullptr : static_cast<volatile uint8_t*>(address);
}

}  // namespace

std::unique_ptr<SharedMemory> SharedMemory::Create(std::string_view name, size_t size,
                                                   int* error) {
  std::unique_ptr<SharedMemory> block(new SharedMemory);
  if (size == 0 || !MakeShmName(name, block->shm_name_, sizeof(block->shm_name_))) {
    SetError(error, size == 0 ? EINVAL : ENAMETOOLONG);
    return nullptr;
  }
  std::string run = RunFolder();
  if (run.empty()) {
    SetError(error, errno != 0 ? errno : EACCES);
    return nullptr;
  }
  block->lock_path_ = run + "/" + RunFileName(name) + ".lock";
  block->lock_fd_ = LockFileExclusive(block->lock_path_);
  if (!block->lock_fd_) {
    SetError(error, errno == EWOULDBLOCK ? EEXIST : errno);
    return nullptr;
  }
  block->creator_ = true;
  // A creator that crashed left its block behind; it is ours now.
  shm_unlink(block->shm_name_);
  const UniqueFd fd(shm_open(block->shm_name_, O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0600));
  if (!fd) {
    SetError(error, errno);
    return nullptr;  // the destructor releases the lock
  }
  if (ftruncate(fd.get(), static_cast<off_t>(size)) != 0 ||
      (block->data_ = MapShared(fd.get(), size)) == nullptr) {
    SetError(error, errno);
    return nullptr;
  }
  block->size_ = size;
  std::memset(const_cast<uint8_t*>(block->data_), 0, size);
  SetError(error, 0);
  return block;
}

std::unique_ptr<SharedMemory> SharedMemory::Open(std::string_view name, size_t size,
                                                 int* error) {
  std::unique_ptr<SharedMemory> block(new SharedMemory);
  if (size == 0 || !MakeShmName(name, block->shm_name_, sizeof(block->shm_name_))) {
    SetError(error, size == 0 ? EINVAL : ENAMETOOLONG);
    return nullptr;
  }
  // No live creator: whatever a crashed one left behind is not a block.
  if (!LockFileHeld(Prefix() + "/run/" + RunFileName(name) + ".lock")) {
    SetError(error, ENOENT);
    return nullptr;
  }
  const UniqueFd fd(shm_open(block->shm_name_, O_RDWR | O_CLOEXEC, 0));
  if (!fd) {
    SetError(error, errno);
    return nullptr;
  }
  struct stat info;
  if (fstat(fd.get(), &info) != 0 || static_cast<size_t>(info.st_size) < size) {
    // The creator has not sized it yet: not there so far.
    SetError(error, ENOENT);
    return nullptr;
  }
  block->data_ = MapShared(fd.get(), size);
  const int map_error = errno;
  if (block->data_ == nullptr) {
    SetError(error, map_error);
    return nullptr;
  }
  block->size_ = size;
  SetError(error, 0);
  return block;
}

int RemoveStaleSharedMemory() {
  // Linux keeps POSIX shared memory as files in /dev/shm.
  DIR* folder = opendir("/dev/shm");
  if (folder == nullptr) return 0;
  const std::string tail = "-" + PrefixHash();
  int removed = 0;
  while (dirent* entry = readdir(folder)) {
    std::string_view file = entry->d_name;
    if (!file.starts_with("zvrx-") || !file.ends_with(tail) || file.size() <= 5 + tail.size()) {
      continue;
    }
    std::string_view run_name = file.substr(5, file.size() - 5 - tail.size());
    if (LockFileHeld(Prefix() + "/run/" + std::string(run_name) + ".lock")) continue;
    if (shm_unlink(("/" + std::string(file)).c_str()) == 0) ++removed;
  }
  closedir(folder);
  return removed;
}

SharedMemory::~SharedMemory() {
  if (data_ != nullptr) munmap(const_cast<uint8_t*>(data_), size_);
  if (creator_) {
    shm_unlink(shm_name_);
    ReleaseLockFile(lock_fd_, lock_path_);
  }
}

}  // namespace zvrx::platform
