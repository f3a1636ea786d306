// The single-instance test by window class and title (FindWindow): a lock
// file <prefix>/run/<class>.<title>.lock held with flock while the window
// exists. The file goes when its holder releases it; a holder that dies
// leaves a file that nobody holds, which counts as no window.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/unique_fd.h"

namespace zvrx::platform {

class InstanceLock {
 public:
  // nullptr when another live process holds it.
  static std::unique_ptr<InstanceLock> Acquire(std::string_view window_class,
                                               std::string_view title);
  // FindWindow: does a live process hold this class and title?
  static bool IsHeld(std::string_view window_class, std::string_view title);

  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

 private:
  InstanceLock() = default;
  UniqueFd fd_;
  std::string path_;
};

}  // namespace zvrx::platform
