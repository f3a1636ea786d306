#include "tests/support/dovecot_fixture.h"

#include <netinet/in.h>
#include <stdio.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/unique_fd.h"

namespace zvrx::test {

namespace fs = std::filesystem;

namespace {

const char kSandboxScript[] = ZVRX_SOURCE_DIR "/scripts/lib/dovecot_sandbox.sh";

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// A port nobody listens on now; Dovecot binds it a moment later.
int FreePort() {
  const platform::UniqueFd fd(socket(AF_INET, SOCK_STREAM, 0));
  if (!fd) return 0;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  int port = 0;
  if (bind(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      getsockname(fd.get(), reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  return port;
}

}  // namespace

DovecotServer::~DovecotServer() {
  Stop();
  std::error_code ec;
  if (!dir_.empty()) fs::remove_all(dir_, ec);
}

bool DovecotServer::RunScript(const std::string& arguments, std::string* output) {
  std::string command = "bash " + Quote(kSandboxScript) + " " + arguments + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) {
    error_ = "cannot run " + std::string(kSandboxScript);
    return false;
  }
  std::string text;
  char buffer[512];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
  int status = pclose(pipe);
  if (output) *output = text;
  if (status != 0) {
    error_ = "dovecot_sandbox.sh " + arguments + " failed: " + text;
    return false;
  }
  return true;
}

bool DovecotServer::Start(const std::vector<DovecotUser>& users) {
  return StartServer(users, nullptr);
}

bool DovecotServer::StartWithTls(const std::vector<DovecotUser>& users, const DovecotTls& tls) {
  return StartServer(users, &tls);
}

std::string DovecotServer::CaFile() const { return dir_ + "/tls/ca.pem"; }

std::string DovecotServer::AccountAt(const std::string& name, const std::string& host, int port) {
  return name + "@" + host + ":" + std::to_string(port);
}

bool DovecotServer::StartServer(const std::vector<DovecotUser>& users, const DovecotTls* tls) {
  Stop();
  if (dir_.empty()) {
    std::string pattern = (fs::temp_directory_path() / "zvrx-dovecot-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
      error_ = "cannot make a temporary folder";
      return false;
    }
    dir_ = pattern;
  }
  for (const DovecotUser& user : users) {
    if (!RunScript("add-user " + Quote(dir_) + " " + Quote(user.name) + " " + Quote(user.password),
                   nullptr)) {
      return false;
    }
    for (const std::string& message : user.messages) {
      std::string file = dir_ + "/message.tmp";
      std::ofstream(file, std::ios::binary) << message;
      if (!RunScript("add-mail " + Quote(dir_) + " " + Quote(user.name) + " " + Quote(file),
                     nullptr)) {
        return false;
      }
      fs::remove(file);
    }
  }
  if (tls != nullptr &&
      !RunScript("tls " + Quote(dir_) + " " + Quote(tls->certificate_name) +
                     (tls->self_signed ? " self-signed" : ""),
                 nullptr)) {
    return false;
  }
  // Another process may take the port between our probe and Dovecot's bind;
  // then the sandbox refuses it and we try another.
  for (int attempt = 0; attempt < 3; ++attempt) {
    int port = FreePort();
    int tls_port = tls != nullptr ? FreePort() : 0;
    if (tls_port == port) tls_port = tls != nullptr ? FreePort() : 0;
    std::string output;
    if (port != 0 && (tls == nullptr || (tls_port != 0 && tls_port != port)) &&
        RunScript("start " + Quote(dir_) + " " + std::to_string(port) + " " +
                      std::to_string(tls_port),
                  &output)) {
      port_ = port;
      tls_port_ = tls_port;
      running_ = true;
      error_.clear();
      return true;
    }
    if (error_.find("already in use") == std::string::npos) break;
  }
  return false;
}

void DovecotServer::Stop() {
  if (!running_) return;
  RunScript("stop " + Quote(dir_), nullptr);
  running_ = false;
}

std::string DovecotServer::Account(const std::string& name) const {
  return name + "@127.0.0.1:" + std::to_string(port_);
}

std::string DovecotServer::FixtureUidl(int n) {
  return std::to_string(1000000000 + n) + ".M" + std::to_string(n) + "P1.fixture";
}

std::vector<std::string> DovecotServer::RemainingMessages(const std::string& name) const {
  std::vector<fs::path> files;
  std::error_code ec;
  for (const char* sub : {"cur", "new"}) {
    for (const auto& entry : fs::directory_iterator(fs::path(dir_) / "home" / name / "Maildir" / sub, ec)) {
      files.push_back(entry.path());
    }
  }
  // Fixture names share one width, so name order is message order.
  std::sort(files.begin(), files.end(),
            [](const fs::path& a, const fs::path& b) { return a.filename() < b.filename(); });
  std::vector<std::string> messages;
  for (const fs::path& file : files) messages.push_back(ReadFile(file));
  return messages;
}

std::string DovecotServer::Log() const {
  return dir_.empty() ? std::string() : ReadFile(fs::path(dir_) / "log" / "dovecot.log");
}

std::string ReadMailFixture(const std::string& name) {
  return ReadFile(fs::path(ZVRX_SOURCE_DIR) / "tests" / "data" / "mail" / name);
}

}  // namespace zvrx::test
