#include "platform/ui/test_hooks.h"

#include <cstdlib>
#include <initializer_list>
#include <mutex>
#include <utility>

namespace zvrx::platform::ui {

namespace {

struct Hooks {
  std::once_flag first_read;
  TestHooks values;
};

Hooks& TheHooks() {
  static Hooks hooks;
  return hooks;
}

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

TestHooks FromEnvironment() {
  return {Variable(kControlVariable), Variable(kTranscriptVariable), Variable(kAnswersVariable),
          Variable(kGrabFolderVariable)};
}

}  // namespace

void ReadTestHooks() { SetTestHooks(FromEnvironment()); }

const TestHooks& CurrentTestHooks() {
  Hooks& hooks = TheHooks();
  std::call_once(hooks.first_read, [&hooks] { hooks.values = FromEnvironment(); });
  return hooks.values;
}

void SetTestHooks(TestHooks hooks) {
  Hooks& current = TheHooks();
  std::call_once(current.first_read, [] {});
  current.values = std::move(hooks);
}

constexpr const char* kChildChannels[] = {kControlVariable, kAnswersVariable,
                                          kGrabFolderVariable};

void KeepTestChannelsFromChildren() {
  for (const char* name : kChildChannels) unsetenv(name);
}

TestChannelsHiddenFromChildren::TestChannelsHiddenFromChildren() {
  for (const char* name : kChildChannels) {
    const char* value = std::getenv(name);
    saved_.push_back(value != nullptr ? std::optional<std::string>(value) : std::nullopt);
  }
  KeepTestChannelsFromChildren();
}

TestChannelsHiddenFromChildren::~TestChannelsHiddenFromChildren() {
  // A child started meanwhile has its own copy of the environment already.
  for (size_t i = 0; i < saved_.size(); ++i) {
    if (saved_[i]) setenv(kChildChannels[i], saved_[i]->c_str(), 1);
  }
}

}  // namespace zvrx::platform::ui
