// zvrxctl modern, learned, brands, warnings and tls, and show's lines for the
// extension settings file "ZVRXExt.ini". The checker reads that file afresh at every check, so
// nothing is handed to a running checker here.
#include <cstdio>
#include <string>

#include "platform/files.h"
#include "shared/extension_settings.h"
#include "shared/locations.h"
#include "shared/records.h"
#include "tools/zvrxctl/commands.h"

namespace zvrx::ctl {

namespace {

// One switch of the extension settings file, "on" or "off".
int RunSwitch(const char* command, const char* key, const Args& args) {
  if (args.size() != 1 || (args[0] != "on" && args[0] != "off")) {
    return Fail(std::string(command) + ": say on or off");
  }
  std::string error = ChangeExtensionSettings({{key, args[0]}});
  if (error.empty()) return 0;
  if (!platform::FolderExists(DataFolder())) error += " (run init first)";
  return Fail(std::string(command) + ": " + error);
}

}  // namespace

int RunModern(const Args& args) { return RunSwitch("modern", kModernMailKey, args); }
int RunLearned(const Args& args) { return RunSwitch("learned", kLearnedJudgmentKey, args); }
int RunBrands(const Args& args) { return RunSwitch("brands", kBrandCheckKey, args); }
int RunWarnings(const Args& args) { return RunSwitch("warnings", kQuotedWarningsKey, args); }

int RunTls(const Args& args) {
  long account = 0;
  if (args.size() != 2 || !ParseNumber(args[0], false, 1, kAccountCount, &account)) {
    return Fail("tls: say an account 1-3 and auto, tls, starttls or plain");
  }
  std::string error = ChangeExtensionSettings({{kTransportKeys[account - 1], args[1]}});
  if (error.empty()) {
    const ExtensionSettings settings = LoadExtensionSettings();
    std::printf("account %ld connects with %s from the next check on\n", account,
                settings.Value(kTransportKeys[account - 1]).c_str());
    return 0;
  }
  if (!platform::FolderExists(DataFolder())) error += " (run init first)";
  return Fail("tls: " + error);
}

void ShowExtensionSettings() {
  const ExtensionSettings settings = LoadExtensionSettings();
  // auto: TLS on port 995, else STLS, plain text only to this machine.
  std::printf("transport of accounts 1-3 (auto|tls|starttls|plain): %s, %s, %s\n",
              settings.Value(kTransportKeys[0]).c_str(), settings.Value(kTransportKeys[1]).c_str(),
              settings.Value(kTransportKeys[2]).c_str());
  std::printf("learned judgment (after the dictionaries): %s\n",
              settings.Bool(kLearnedJudgmentKey) ? "on" : "off");
  std::printf("brand check (a brand named off its own domains): %s\n",
              settings.Bool(kBrandCheckKey) ? "on" : "off");
  std::printf("quoted warnings (judged without their quotations): %s\n",
              settings.Bool(kQuotedWarningsKey) ? "on" : "off");
  // The file's problems follow the modern line, as they always have.
  std::printf("modern mail (UTF-8, Base64, HTML): %s\n",
              settings.Bool(kModernMailKey) ? "on" : "off");
  for (const std::string& problem : settings.problems()) std::printf("%s\n", problem.c_str());
  ShowKeptSettings();
}

}  // namespace zvrx::ctl
