#include "platform/ui/transcript.h"

#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <deque>
#include <mutex>

#include "platform/cp932.h"
#include "platform/ui/test_hooks.h"
#include "platform/unique_fd.h"

namespace zvrx::platform::ui {

namespace {

struct Script {
  std::mutex mutex;
  bool loaded = false;
  std::deque<std::string> answers;
};

std::function<void(Dialog&)>& Observer() {
  static std::function<void(Dialog&)> observer;
  return observer;
}

Script& TheScript() {
  static Script script;
  return script;
}

std::string Escaped(std::string_view cp932) {
  std::string escaped;
  for (char c : Cp932ToUtf8(cp932)) {
    switch (c) {
      case '\n': escaped += "\\n"; break;
      case '\r': escaped += "\\r"; break;
      case '\t': escaped += "\\t"; break;
      case '\\': escaped += "\\\\"; break;
      default: escaped += c;
    }
  }
  return escaped;
}

}  // namespace

void WriteTranscript(std::string_view kind, std::string_view caption, std::string_view text) {
  const std::string& path = CurrentTestHooks().transcript;
  if (path.empty()) return;
  std::string line(kind);
  line += '\t' + Escaped(caption) + '\t' + Escaped(text) + '\n';
  // One write with O_APPEND keeps the lines of concurrent writers whole.
  const UniqueFd fd(open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644));
  if (!fd) return;
  ssize_t written = write(fd.get(), line.data(), line.size());
  (void)written;  // a transcript that cannot be written changes nothing
}

std::optional<std::string> NextScriptedAnswer() {
  Script& script = TheScript();
  std::lock_guard lock(script.mutex);
  if (!script.loaded) {
    script.loaded = true;
    std::string_view rest = CurrentTestHooks().answers;
    while (!rest.empty()) {
      size_t comma = rest.find(',');
      script.answers.emplace_back(rest.substr(0, comma));
      rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    }
  }
  if (script.answers.empty()) return std::nullopt;
  std::string answer = std::move(script.answers.front());
  script.answers.pop_front();
  return answer;
}

void SetScriptedAnswers(std::vector<std::string> answers) {
  Script& script = TheScript();
  std::lock_guard lock(script.mutex);
  script.loaded = true;
  script.answers.assign(std::make_move_iterator(answers.begin()),
                        std::make_move_iterator(answers.end()));
}

void SetModalObserver(std::function<void(Dialog&)> observer) { Observer() = std::move(observer); }

const std::function<void(Dialog&)>& ModalObserver() { return Observer(); }

int ButtonIdOf(std::string_view name) {
  static constexpr struct {
    const char* name;
    int id;
  } kButtons[] = {{"OK", kIdOk},         {"CANCEL", kIdCancel}, {"ABORT", kIdAbort},
                  {"RETRY", kIdRetry},   {"IGNORE", kIdIgnore}, {"YES", kIdYes},
                  {"NO", kIdNo}};
  std::string upper;
  for (char c : name) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (const auto& button : kButtons) {
    if (upper == button.name) return button.id;
  }
  return 0;
}

}  // namespace zvrx::platform::ui
