#include "platform/ui/test_channels.h"

#include <cstdlib>

namespace zvrx::platform::ui {

namespace {

constexpr const char* kChannels[] = {"ZVRX_UI_CONTROL", "ZVRX_UI_ANSWERS", "ZVRX_UI_GRAB_DIR"};

}  // namespace

void KeepTestChannelsFromChildren() {
  // Read once at start-up by this program; the children are started later.
  for (const char* name : kChannels) unsetenv(name);
}

TestChannelsHiddenFromChildren::TestChannelsHiddenFromChildren() {
  for (const char* name : kChannels) {
    const char* value = std::getenv(name);
    saved_.push_back(value != nullptr ? std::optional<std::string>(value) : std::nullopt);
  }
  KeepTestChannelsFromChildren();
}

TestChannelsHiddenFromChildren::~TestChannelsHiddenFromChildren() {
  // A child started meanwhile has its own copy of the environment already.
  for (size_t i = 0; i < saved_.size(); ++i) {
    if (saved_[i]) setenv(kChannels[i], saved_[i]->c_str(), 1);
  }
}

}  // namespace zvrx::platform::ui
