// zvrxctl: the command-line companion of the suite. It works on the same
// records, lists and logs as the programs, through their own code.
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/drives.h"
#include "shared/record_files.h"
#include "tools/zvrxctl/commands.h"

namespace zvrx::ctl {

int Fail(const std::string& message) {
  std::fprintf(stderr, "zvrxctl: %s\n", message.c_str());
  return 2;
}

namespace {

struct Command {
  const char* name;
  int (*run)(const Args&);
  // Reads, changes and saves settings or lists: the whole command runs
  // under the settings lock, so a concurrent change is never lost.
  bool changes_settings = false;
};

constexpr Command kCommands[] = {
    {"init", RunInit},
    {"account", RunAccount, true},
    {"mode", RunMode, true},
    {"level", RunLevel, true},
    {"options", RunOptions, true},
    {"strictness", RunStrictness, true},
    {"show", RunShow},
    {"log", RunLog},
    {"judge", RunJudge},
    {"check", RunCheck},
    {"handling", RunHandling, true},
    {"european", RunEuropean, true},
    {"dictionaries", RunDictionaries, true},
    {"accept", RunAccept, true},
    {"reject", RunReject, true},
    {"modern", RunModern, true},
    {"learned", RunLearned, true},
    {"brands", RunBrands, true},
    {"warnings", RunWarnings, true},
    {"tls", RunTls, true},
    {"kept", RunKept},
    {"restore", RunRestore},
    {"keep", RunKeep, true},
};

int RunCommand(const Command& command, const Args& args) {
  if (!command.changes_settings) return command.run(args);
  auto lock = LockSettings();
  if (!lock) {
    return Fail(std::string(command.name) +
                ": another program keeps changing the settings; nothing was changed");
  }
  return command.run(args);
}

int Usage() {
  std::fputs(
      "usage: zvrxctl [--prefix DIR] COMMAND ...\n"
      "  init [--data DIST]          create install root and data folder\n"
      "  account N USER@HOST PASS    set account N (1-3)\n"
      "  account N --clear\n"
      "  mode N                      check mode 0-6\n"
      "  level N                     inspection level 0-2\n"
      "  options N                   option word (decimal or 0x...)\n"
      "  strictness N                -1, 0 or 1\n"
      "  handling foreign|unclear N  0 keep, 1 analyse, 2 delete without analysing\n"
      "  european [N on|off ...]     ISO-8859-N read as English; none: list them\n"
      "  dictionaries [NAME on|off ...]  Method dictionaries; none: list them\n"
      "  accept add|remove|list [ADDRESS...]  the acceptance list\n"
      "  reject add|remove|list [ADDRESS...]  the rejection list\n"
      "  modern on|off               also analyse UTF-8, Base64 and HTML mail\n"
      "  learned on|off              also judge by the learned word weights\n"
      "  brands on|off               score mail naming a brand off its domains\n"
      "  warnings on|off             keep warnings that quote fraud mail\n"
      "  tls N auto|tls|starttls|plain  how account N connects (default auto)\n"
      "  keep on|off | days N | size MB  kept copies of deleted mail\n"
      "  kept                        list the kept copies\n"
      "  restore N... [--to DIR | --mbox FILE]  give kept copies back\n"
      "  show                        every setting, passwords masked\n"
      "  log                         the work log as UTF-8\n"
      "  judge [--level N] FILE...   judge message files as the checker would\n"
      "  check [--dry-run]           one check of the configured accounts\n",
      stderr);
  return 2;
}

}  // namespace
}  // namespace zvrx::ctl

int main(int argc, char** argv) {
  using namespace zvrx;
  int i = 1;
  std::string prefix;
  if (i < argc && std::strcmp(argv[i], "--prefix") == 0) {
    if (i + 1 >= argc) return ctl::Fail("--prefix needs a folder");
    prefix = argv[i + 1];
    i += 2;
  }
  if (prefix.empty()) prefix = platform::DefaultPrefix();
  platform::SetPrefix(prefix);
  if (i >= argc) return ctl::Usage();
  std::string name = argv[i++];
  ctl::Args args(argv + i, argv + argc);
  for (const auto& command : ctl::kCommands) {
    if (name == command.name) return ctl::RunCommand(command, args);
  }
  return ctl::Usage();
}
