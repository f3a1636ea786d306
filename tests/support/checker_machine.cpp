#include "tests/support/checker_machine.h"

#include <cstring>

#include "checker/core/configuration.h"
#include "shared/record_files.h"
#include "tests/support/time_lapse.h"

namespace zvrx::test {

::testing::AssertionResult SaveAccounts(int16_t mode, int16_t level,
                                        const std::vector<Login>& logins) {
  BasicSettings basic{};
  basic.check_mode = mode;
  basic.inspection_level = level;
  if (logins.size() > static_cast<size_t>(kAccountCount)) {
    return ::testing::AssertionFailure() << logins.size() << " accounts";
  }
  for (size_t i = 0; i < logins.size(); ++i) {
    std::strncpy(basic.accounts[i], logins[i].account.c_str(), sizeof basic.accounts[i] - 1);
    std::strncpy(basic.passwords[i], logins[i].password.c_str(), sizeof basic.passwords[i] - 1);
    basic.account_mask |= static_cast<uint16_t>(1u << i);
  }
  if (!SaveBasicSettings(basic)) return ::testing::AssertionFailure() << "basic settings not saved";
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult ConfigureChecker(CheckerState& state, int16_t mode,
                                            uint16_t option_bits,
                                            const std::vector<Login>& logins) {
  if (auto saved = SaveAccounts(mode, 1, logins); !saved) return saved;
  NotifyOptions notify{};
  notify.option_bits = option_bits;
  if (!SaveNotifyOptions(notify)) return ::testing::AssertionFailure() << "options not saved";
  if (!LoadConfiguration(state)) return ::testing::AssertionFailure() << "configuration not read";
  if (state.transfer.records.basic.inspection_level != 1) {
    return ::testing::AssertionFailure() << "no dictionaries loaded";
  }
  return ::testing::AssertionSuccess();
}

ListJudgedMachine::ListJudgedMachine(const std::string& host, int lapse,
                                     const std::string& extension_settings)
    : account_("taro@" + host) {
  EXPECT_TRUE(SaveAccounts(1, 0, {{account_, "pw"}}));
  WriteHostFile(prefix_.DataFolderHost() + "/ZVRXBlackList", "spam@bad.example\r\n");
  if (!extension_settings.empty()) {
    WriteHostFile(prefix_.DataFolderHost() + "/ZVRXExt.ini", extension_settings);
  }
  EXPECT_TRUE(LoadConfiguration(state_));
  state_.apop_state[0] = -1;
  state_.connection.make_stream = [lapse] { return NewTimeLapseStream(lapse); };
}

}  // namespace zvrx::test
