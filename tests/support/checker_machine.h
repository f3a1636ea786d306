// A checker's state in a test's emulated machine, set up the way the
// checker sets itself up at start-up: the settings program's records saved
// to their files first, then LoadConfiguration reads them.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <iostream>
#include <string>
#include <vector>

#include "checker/core/checker_state.h"
#include "shared/extension_settings.h"
#include "shared/records.h"
#include "tests/support/dovecot_fixture.h"
#include "tests/support/fake_clock.h"
#include "tests/support/settings_side_clock.h"
#include "tests/support/temp_prefix.h"

namespace zvrx::test {

struct Login {
  std::string account;  // "user@host[:port]"
  std::string password;
};

// Saves the basic settings as the settings program would: `mode`, `level`
// and the accounts in order, each switched on.
::testing::AssertionResult SaveAccounts(int16_t mode, int16_t level,
                                        const std::vector<Login>& logins);

// SaveAccounts and the notify options `option_bits`, then the configuration
// loaded into `state`; level 1 must find the delivered dictionaries.
::testing::AssertionResult ConfigureChecker(CheckerState& state, int16_t mode,
                                            uint16_t option_bits,
                                            const std::vector<Login>& logins);

// The check cycle against one real Dovecot shared by the test suite `Suite`,
// which starts it in `static bool StartServer(DovecotServer&)`. Each test
// has its own machine with the delivered data (or the suite's own, see
// InstallData), a transfer block and a clock that plays the settings
// program without real waits.
template <class Suite>
class DovecotCheckTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = new DovecotServer;
    if (!Suite::StartServer(*server_)) start_error_ = server_->error();
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }

  void SetUp() override {
    // A peer test that cannot reach its peer fails; it is never skipped.
    ASSERT_TRUE(start_error_.empty()) << "Dovecot could not be started: " << start_error_;
    ASSERT_NO_FATAL_FAILURE(InstallData());
    ASSERT_TRUE(CreateBlock(state_.transfer));
  }
  // The machine's data: the delivered data, unless a suite brings a small
  // data folder of its own so that the delivered words cannot move its result.
  virtual void InstallData() {
    ASSERT_TRUE(prefix_.InstallDeliveredData()) << "build the delivered data first";
  }
  void TearDown() override {
    if (HasFailure()) std::cerr << "Dovecot log:\n" << server_->Log();
  }

  // A file of the data folder, whole; empty when missing.
  std::string DataFile(const std::string& name) const {
    return ReadHostFile(prefix_.DataFolderHost() + "/" + name);
  }
  std::string Log() const { return DataFile("ZVRXLog"); }

  // The checker set to check one account of the suite's server at start-up.
  void Configure(const std::string& user, const std::string& password) {
    ASSERT_TRUE(ConfigureChecker(state_, 1, 0, {{server_->Account(user), password}}));
  }
  // ZVRXExt.ini without keys, so every option has a new installation's
  // value at the next check; the duplicate memory is forgotten too, since a
  // suite's mailboxes hold the same mail.
  void BackToNewInstallationOptions() {
    WriteHostFile(prefix_.DataFolderHost() + "/" + kExtensionSettingsName, "# mine\n");
    state_.analysis.duplicates = DuplicateMemory{};
  }

  // The two boxes of a suite that checks one mail pair with an option off
  // and on: "kiku" and "ume" (passwords "kiku-pw", "ume-pw"), each holding
  // `first` and `second`, numbered 1 and 2.
  static bool StartTwoBoxes(DovecotServer& server, const std::string& first,
                            const std::string& second) {
    return server.Start({
        {"ume", "ume-pw", {first, second}},
        {"kiku", "kiku-pw", {first, second}},
    });
  }

  static inline DovecotServer* server_ = nullptr;
  static inline std::string start_error_;
  TempPrefix prefix_;
  SettingsSideClock clock_;  // no real waits; plays the settings program
  ScopedClock scoped_clock_{clock_};
  CheckerState state_;
};

// One emulated machine with one account "taro" on a scripted server at
// `host`, in check mode 1, judging by the rejection list alone
// (spam@bad.example); its checks run in fast motion, `lapse` checker
// milliseconds to the real one. `extension_settings` (ZVRXExt.ini) is
// written before the configuration is read when not empty.
class ListJudgedMachine {
 public:
  ListJudgedMachine(const std::string& host, int lapse, const std::string& extension_settings);

  std::string DataFile(const std::string& name) const {
    return ReadHostFile(prefix_.DataFolderHost() + "/" + name);
  }
  std::string Log() const { return DataFile("ZVRXLog"); }
  const CheckCounters& counters() const { return state_.counters; }

 protected:
  TempPrefix prefix_;
  std::string account_;
  CheckerState state_;
};

}  // namespace zvrx::test
