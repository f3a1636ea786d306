// The POP3 side of a check of 100 messages against a real Dovecot on
// loopback: log in, STAT, then LIST, UIDL and TOP for every message from the
// newest down, and QUIT; in plain text, with STLS and with TLS from the
// start (the test's own authority in SSL_CERT_FILE). The waits the check
// makes on purpose (a second after PASS, 100 ms per message) pass at once on
// a fake clock, so the figure is the network and the TLS work alone. Divide
// by 100 for the cost per message; each run includes one connection and its
// handshake.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "checker/core/pop3_client.h"
#include "tests/support/dovecot_fixture.h"
#include "tests/support/fake_clock.h"

namespace {

using zvrx::test::DovecotServer;

constexpr int kMessages = 100;

DovecotServer& Server() {
  static DovecotServer* server = [] {
    const std::vector<std::string> names = {"ja-spam-01.eml", "ja-ham-01.eml", "en-spam-02.eml",
                                            "en-ham-03.eml"};
    std::vector<std::string> messages;
    for (int i = 0; i < kMessages; ++i) {
      messages.push_back(zvrx::test::ReadMailFixture("../corpus/" + names[i % names.size()]));
    }
    auto* started = new DovecotServer;
    if (!started->StartWithTls({{"taro", "taro-pw", messages}}, {})) {
      fprintf(stderr, "Dovecot: %s\n", started->error().c_str());
      exit(1);
    }
    setenv("SSL_CERT_FILE", started->CaFile().c_str(), 1);
    return started;
  }();
  return *server;
}

// One connection with nothing but its login and QUIT: what a handshake costs.
void LoginOnly(benchmark::State& state, zvrx::TransportChoice choice, bool tls_port) {
  DovecotServer& server = Server();
  zvrx::test::FakeClock clock;
  zvrx::test::ScopedClock scoped(clock);
  const std::string account = DovecotServer::AccountAt(
      "taro", "localhost", tls_port ? server.tls_port() : server.port());
  for (auto _ : state) {
    zvrx::PopConnection connection;
    connection.transport = choice;
    int16_t apop_state = 1;
    if (zvrx::Login(connection, account, "taro-pw", apop_state) != zvrx::POP_OK) {
      state.SkipWithError("login failed");
      break;
    }
    zvrx::Quit(connection);
  }
}

void WalkMailbox(benchmark::State& state, zvrx::TransportChoice choice, bool tls_port) {
  DovecotServer& server = Server();
  zvrx::test::FakeClock clock;
  zvrx::test::ScopedClock scoped(clock);
  const std::string account = DovecotServer::AccountAt(
      "taro", "localhost", tls_port ? server.tls_port() : server.port());
  zvrx::BodyBuffer body;
  for (auto _ : state) {
    zvrx::PopConnection connection;
    connection.transport = choice;
    int16_t apop_state = 1;
    if (zvrx::Login(connection, account, "taro-pw", apop_state) != zvrx::POP_OK) {
      state.SkipWithError("login failed");
      break;
    }
    int64_t count = 0;
    zvrx::Stat(connection, count);
    for (int64_t n = count; n >= 1; --n) {
      int32_t size = 0;
      char uidl[zvrx::kUidlMaxLength + 1];
      zvrx::List(connection, n, size);
      zvrx::Uidl(connection, n, uidl, sizeof uidl);
      if (zvrx::Top(connection, n, body) != zvrx::POP_OK) {
        state.SkipWithError("TOP failed");
        break;
      }
    }
    zvrx::Quit(connection);
  }
  // Seconds per message, shown with its SI prefix.
  state.counters["per_message"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * kMessages,
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_Check100Plain(benchmark::State& state) {
  WalkMailbox(state, zvrx::TransportChoice::kPlain, false);
}
void BM_Check100Stls(benchmark::State& state) {
  WalkMailbox(state, zvrx::TransportChoice::kStartTls, false);
}
void BM_Check100ImplicitTls(benchmark::State& state) {
  WalkMailbox(state, zvrx::TransportChoice::kTls, true);
}
void BM_LoginPlain(benchmark::State& state) {
  LoginOnly(state, zvrx::TransportChoice::kPlain, false);
}
void BM_LoginStls(benchmark::State& state) {
  LoginOnly(state, zvrx::TransportChoice::kStartTls, false);
}
void BM_LoginImplicitTls(benchmark::State& state) {
  LoginOnly(state, zvrx::TransportChoice::kTls, true);
}
BENCHMARK(BM_LoginPlain)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoginStls)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoginImplicitTls)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Check100Plain)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Check100Stls)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Check100ImplicitTls)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
