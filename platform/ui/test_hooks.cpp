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

void KeepTestChannelsFromChildren() {
  for (const char* name : {kControlVariable, kAnswersVariable, kGrabFolderVariable}) {
    unsetenv(name);
  }
}

}  // namespace zvrx::platform::ui
