// An owned descriptor is closed exactly once, by whoever owns it last, and
// never when ownership has been given up.
#include "platform/unique_fd.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include <gtest/gtest.h>

namespace zvrx {
namespace {

using platform::UniqueFd;

bool IsOpen(int fd) { return fcntl(fd, F_GETFD) != -1; }

// Two ends of a pipe, owned by nobody yet.
struct Pipe {
  Pipe() { EXPECT_EQ(pipe2(ends, O_CLOEXEC), 0); }
  int ends[2] = {-1, -1};
};

TEST(UniqueFd, ClosesWhenItsLastOwnerGoes) {
  Pipe p;
  {
    UniqueFd first(p.ends[0]);
    UniqueFd second(std::move(first));
    EXPECT_FALSE(first.valid());
    EXPECT_EQ(second.get(), p.ends[0]);
    UniqueFd third;
    third = std::move(second);
    EXPECT_FALSE(second);
    EXPECT_TRUE(IsOpen(p.ends[0]));  // moving hands on, never closes
  }
  EXPECT_FALSE(IsOpen(p.ends[0]));
  close(p.ends[1]);
}

TEST(UniqueFd, TakingAnotherDescriptorClosesTheOldOne) {
  Pipe p;
  UniqueFd read_end(p.ends[0]);
  UniqueFd write_end(p.ends[1]);
  read_end = std::move(write_end);  // the assignment closes the read end
  EXPECT_FALSE(IsOpen(p.ends[0]));
  EXPECT_TRUE(IsOpen(p.ends[1]));
  read_end = std::move(read_end);  // onto itself: still held
  EXPECT_TRUE(IsOpen(p.ends[1]));
  read_end.reset();
  EXPECT_FALSE(IsOpen(p.ends[1]));
  EXPECT_FALSE(read_end.valid());
}

TEST(UniqueFd, ReleaseGivesUpOwnershipWithoutClosing) {
  Pipe p;
  int kept = -1;
  {
    UniqueFd owned(p.ends[0]);
    kept = owned.release();
    EXPECT_EQ(owned.get(), -1);
  }
  EXPECT_EQ(kept, p.ends[0]);
  EXPECT_TRUE(IsOpen(kept));
  close(kept);
  close(p.ends[1]);
}

TEST(UniqueFd, CloseReportsWhetherTheCloseWorked) {
  Pipe p;
  UniqueFd owned(p.ends[0]);
  EXPECT_TRUE(owned.Close());
  EXPECT_FALSE(IsOpen(p.ends[0]));
  EXPECT_FALSE(owned.Close());  // nothing held any more

  // A descriptor someone else closed behind its back: close fails, and the
  // owner does not close it a second time (the number may be reused).
  UniqueFd stolen(p.ends[1]);
  close(p.ends[1]);
  EXPECT_FALSE(stolen.Close());
  EXPECT_EQ(errno, EBADF);
  EXPECT_FALSE(stolen.valid());
}

}  // namespace
}  // namespace zvrx
