#include "platform/ui/control_channel.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <sstream>

#include "platform/cp932.h"
#include "platform/parse_integer.h"
#include "platform/retry.h"
#include "platform/unique_fd.h"
#include "platform/ui/dialog_window.h"
#include "platform/ui/frame_window.h"
#include "platform/ui/window_registry.h"

namespace zvrx::platform::ui {

namespace {

// A request line longer than this is refused, and the connection closed.
constexpr size_t kMaxRequest = 64 * 1024;

std::string Escape(std::string_view utf8) {
  std::string escaped;
  for (char c : utf8) {
    switch (c) {
      case '\n': escaped += "\\n"; break;
      case '\t': escaped += "\\t"; break;
      case '\\': escaped += "\\\\"; break;
      default: escaped += c;
    }
  }
  return escaped;
}

std::string Unescape(std::string_view escaped) {
  std::string text;
  for (size_t i = 0; i < escaped.size(); ++i) {
    if (escaped[i] == '\\' && i + 1 < escaped.size()) {
      const char next = escaped[++i];
      text += next == 'n' ? '\n' : next == 't' ? '\t' : next;
    } else {
      text += escaped[i];
    }
  }
  return text;
}

// Splits off the next word of `rest`.
std::string Word(std::string_view& rest) {
  size_t start = rest.find_first_not_of(' ');
  if (start == std::string_view::npos) {
    rest = {};
    return {};
  }
  size_t end = rest.find(' ', start);
  std::string word(rest.substr(start, end == std::string_view::npos ? end : end - start));
  rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
  return word;
}

bool Number(const std::string& word, int& value) {
  const std::optional<int> parsed = ParseInteger<int>(word);
  if (!parsed) return false;
  value = *parsed;
  return true;
}

// Runs `action` once the reply is out, on the dialog if it is still open.
void Later(int dialog_id, std::function<void(DialogWindow&)> action) {
  QTimer::singleShot(0, QCoreApplication::instance(), [dialog_id, action = std::move(action)] {
    if (DialogWindow* dialog = FindOpenDialog(dialog_id)) action(*dialog);
  });
}

void LaterOnFrame(const std::string& window_class, std::function<void(FrameWindow&)> action) {
  QTimer::singleShot(0, QCoreApplication::instance(), [window_class, action = std::move(action)] {
    if (FrameWindow* frame = FindOpenFrame(window_class)) action(*frame);
  });
}

struct Connection {
  UniqueFd fd;
  std::string pending;
};

void Serve(int listener);

void ReadFrom(Connection* connection, QSocketNotifier* notifier) {
  char buffer[4096];
  const ssize_t got =
      RetryOnInterrupt([&] { return read(connection->fd.get(), buffer, sizeof buffer); });
  if (got < 0 && errno == EAGAIN) return;
  if (got <= 0) {
    notifier->setEnabled(false);
    notifier->deleteLater();
    delete connection;
    return;
  }
  connection->pending.append(buffer, static_cast<size_t>(got));
  size_t end;
  while ((end = connection->pending.find('\n')) != std::string::npos) {
    std::string line = connection->pending.substr(0, end);
    connection->pending.erase(0, end + 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string reply = HandleControlRequest(line) + "\n";
    // Replies are short; the client reads each before its next request.
    for (size_t sent = 0; sent < reply.size();) {
      const ssize_t put = RetryOnInterrupt([&] {
        return send(connection->fd.get(), reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
      });
      if (put < 0 && errno == EAGAIN) {
        usleep(1000);
        continue;
      }
      if (put <= 0) break;
      sent += static_cast<size_t>(put);
    }
  }
  if (connection->pending.size() > kMaxRequest) {
    notifier->setEnabled(false);
    notifier->deleteLater();
    delete connection;
  }
}

void Serve(int listener) {
  auto* notifier = new QSocketNotifier(listener, QSocketNotifier::Read, QCoreApplication::instance());
  QObject::connect(notifier, &QSocketNotifier::activated, [listener] {
    const int fd = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) return;
    auto* connection = new Connection{UniqueFd(fd), {}};
    auto* reader = new QSocketNotifier(fd, QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(reader, &QSocketNotifier::activated, [connection, reader] {
      ReadFrom(connection, reader);
    });
  });
}

}  // namespace

bool StartControlChannel(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  UniqueFd listener(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!listener) return false;
  unlink(path.c_str());  // a socket left by an earlier run
  if (bind(listener.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener.get(), 8) != 0) {
    return false;
  }
  // The channel listens for as long as the program runs; the system closes
  // it when the program ends.
  Serve(listener.release());
  return true;
}

std::string HandleControlRequest(std::string_view line) {
  std::string_view rest = line;
  const std::string verb = Word(rest);
  if (verb == "frames") {
    std::string reply = "ok";
    for (const std::string& window_class : OpenFrameClasses()) reply += " " + Cp932ToUtf8(window_class);
    return reply;
  }
  if (verb == "dialogs") {
    std::string reply = "ok";
    for (int id : OpenDialogIds()) reply += " " + std::to_string(id);
    return reply;
  }
  if (verb == "command" || verb == "close" || verb == "grab") {
    const std::string window_class = Utf8ToCp932(Word(rest));
    FrameWindow* frame = FindOpenFrame(window_class);
    if (frame == nullptr) return "error no frame " + Cp932ToUtf8(window_class);
    if (verb == "grab") {
      const std::string path(rest);
      if (path.empty()) return "error grab needs a path";
      return frame->SaveImage(path) ? "ok" : "error cannot save " + path;
    }
    if (verb == "close") {
      LaterOnFrame(window_class, [](FrameWindow& f) { f.Close(); });
      return "ok";
    }
    int id = 0;
    if (!Number(Word(rest), id)) return "error command needs an id";
    LaterOnFrame(window_class, [id](FrameWindow& f) { f.Command(id, kFromMenu); });
    return "ok";
  }
  if (verb == "grabdialog") {
    int dialog_id = 0;
    if (!Number(Word(rest), dialog_id)) return "error grabdialog needs a dialog id";
    DialogWindow* dialog = FindOpenDialog(dialog_id);
    if (dialog == nullptr) return "error no dialog " + std::to_string(dialog_id);
    const std::string path(rest);
    if (path.empty()) return "error grabdialog needs a path";
    return dialog->SaveImage(path) ? "ok" : "error cannot save " + path;
  }
  if (verb == "select") {
    int dialog_id = 0, control_id = 0, index = 0;
    if (!Number(Word(rest), dialog_id) || !Number(Word(rest), control_id) ||
        !Number(Word(rest), index)) {
      return "error select needs a dialog id, a control id and an index";
    }
    DialogWindow* dialog = FindOpenDialog(dialog_id);
    if (dialog == nullptr) return "error no dialog " + std::to_string(dialog_id);
    if (!dialog->HasItem(control_id)) return "error no control " + std::to_string(control_id);
    Later(dialog_id, [control_id, index](DialogWindow& d) { d.UserSelectListItem(control_id, index); });
    return "ok";
  }
  if (verb == "click" || verb == "type" || verb == "choose" || verb == "text" ||
      verb == "enabled") {
    int dialog_id = 0, control_id = 0;
    if (!Number(Word(rest), dialog_id) || !Number(Word(rest), control_id)) {
      return "error " + verb + " needs a dialog id and a control id";
    }
    DialogWindow* dialog = FindOpenDialog(dialog_id);
    if (dialog == nullptr) return "error no dialog " + std::to_string(dialog_id);
    if (!dialog->HasItem(control_id)) return "error no control " + std::to_string(control_id);
    if (verb == "text") return "ok " + Escape(Cp932ToUtf8(dialog->GetItemText(control_id)));
    if (verb == "enabled") return dialog->IsItemEnabled(control_id) ? "ok 1" : "ok 0";
    if (verb == "click") {
      Later(dialog_id, [control_id](DialogWindow& d) { d.UserClick(control_id); });
    } else if (verb == "type") {
      const std::string text = Utf8ToCp932(Unescape(rest));
      Later(dialog_id, [control_id, text](DialogWindow& d) { d.UserType(control_id, text); });
    } else {
      int index = 0;
      if (!Number(Word(rest), index)) return "error choose needs an index";
      Later(dialog_id, [control_id, index](DialogWindow& d) { d.UserChoose(control_id, index); });
    }
    return "ok";
  }
  return "error unknown request " + verb;
}

}  // namespace zvrx::platform::ui
