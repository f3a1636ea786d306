// zvrxctl commands. Each takes the arguments after its name and returns the
// exit status: 0 success, 1 a check found a failed login, 2 bad input.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zvrx::ctl {

using Args = std::vector<std::string>;

// Prints "zvrxctl: <message>" on standard error and returns 2.
int Fail(const std::string& message);

// Strict integer: optional '-', decimal digits, or 0x and hex digits when
// `allow_hex`; nothing else, and within [low, high].
bool ParseNumber(const std::string& text, bool allow_hex, long low, long high, long* value);

// The judgment page's names of the two handling choices.
const char* ForeignHandlingName(int16_t value);
const char* UnclearHandlingName(int16_t value);

int RunInit(const Args& args);
int RunAccount(const Args& args);
int RunMode(const Args& args);
int RunLevel(const Args& args);
int RunOptions(const Args& args);
int RunStrictness(const Args& args);
int RunHandling(const Args& args);
int RunEuropean(const Args& args);
int RunDictionaries(const Args& args);
int RunAccept(const Args& args);
int RunReject(const Args& args);
int RunShow(const Args& args);
int RunLog(const Args& args);
int RunJudge(const Args& args);
int RunCheck(const Args& args);
int RunModern(const Args& args);
int RunLearned(const Args& args);
int RunBrands(const Args& args);
int RunWarnings(const Args& args);
int RunTls(const Args& args);
int RunKept(const Args& args);
int RunRestore(const Args& args);
int RunKeep(const Args& args);

// show's lines for the extension settings file: its values and problems.
void ShowExtensionSettings();
// show's line for the kept copies of deleted mail.
void ShowKeptSettings();

}  // namespace zvrx::ctl
