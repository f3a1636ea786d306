// A real Dovecot POP3 server on 127.0.0.1 for peer tests, with its settings,
// users, mail and logs in a temporary folder (scripts/lib/dovecot_sandbox.sh
// does the Dovecot side). APOP is on; failed logins are not delayed.
#pragma once

#include <string>
#include <vector>

namespace zvrx::test {

struct DovecotUser {
  std::string name;      // letters, digits, '.', '_', '-'
  std::string password;  // no ':'
  // Raw messages with CR LF line ends; they number 1, 2, ... in this order.
  std::vector<std::string> messages;
};

// A server that requires TLS: a test authority and a server certificate
// made with the openssl command for the test.
struct DovecotTls {
  std::string certificate_name = "localhost";  // a host name, or an IP address
  bool self_signed = false;  // no authority vouches for the certificate
};

class DovecotServer {
 public:
  DovecotServer() = default;
  ~DovecotServer();  // stops the server and removes its folder
  DovecotServer(const DovecotServer&) = delete;
  DovecotServer& operator=(const DovecotServer&) = delete;

  // Starts on a free port and waits for its greeting. False with error()
  // telling why (for example: Dovecot is not installed).
  bool Start(const std::vector<DovecotUser>& users);
  // The same with ssl = required: STLS on port(), TLS from the start on
  // tls_port().
  bool StartWithTls(const std::vector<DovecotUser>& users, const DovecotTls& tls);
  void Stop();

  int port() const { return port_; }
  int tls_port() const { return tls_port_; }
  // The authority's certificate, for SSL_CERT_FILE.
  std::string CaFile() const;
  // "name@HOST:PORT", for a server reached by another name or port.
  static std::string AccountAt(const std::string& name, const std::string& host, int port);
  // "name@127.0.0.1:<port>"
  std::string Account(const std::string& name) const;
  // The user's messages still in the mailbox, in order (after a QUIT, the
  // ones not deleted).
  std::vector<std::string> RemainingMessages(const std::string& name) const;
  // UIDL of the user's n-th message as stored at the start (1-based).
  static std::string FixtureUidl(int n);
  const std::string& error() const { return error_; }
  // The server's own log, for failure messages.
  std::string Log() const;

 private:
  bool RunScript(const std::string& arguments, std::string* output);
  bool StartServer(const std::vector<DovecotUser>& users, const DovecotTls* tls);

  std::string dir_;
  int port_ = 0;
  int tls_port_ = 0;
  bool running_ = false;
  std::string error_;
};

// A message file from tests/data/mail, whole.
std::string ReadMailFixture(const std::string& name);

}  // namespace zvrx::test
