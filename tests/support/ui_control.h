// The client side of a program's ZVRX_UI_CONTROL socket: one request line
// out, one reply line back ("ok ..." or "error ...").
#pragma once

#include <string>

#include "platform/unique_fd.h"

namespace zvrx::test {

class UiControl {
 public:
  UiControl() = default;
  UiControl(const UiControl&) = delete;
  UiControl& operator=(const UiControl&) = delete;

  // Connects, retrying until the program listens or `timeout_ms` passed.
  bool Connect(const std::string& socket_path, int timeout_ms);
  // Sends `line` and returns the reply without its line feed; "error
  // connection" when the program is gone.
  std::string Request(const std::string& line);

 private:
  platform::UniqueFd fd_;
  std::string pending_;
};

}  // namespace zvrx::test
