// What the checker's worker needs from the windows: the ZVRX program puts
// Qt behind it, zvrxctl the console, tests a recorder. Every call comes from
// the worker thread and returns only when the user is done with it.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace zvrx {

class CheckerUi {
 public:
  virtual ~CheckerUi() = default;

  // A system-modal information box, caption "MailZevrox", with one of the
  // fatal texts (CP932).
  virtual void ShowFatalMessage(std::string_view text) = 0;

  // The report dialog of an automatic check (CP932, lines ending in LF);
  // blocks until the user closes it.
  virtual void ShowReportDialog(std::string_view text) = 0;

  // The file-open dialog for the mail program, starting in `start_folder`
  // (a Windows path). The chosen program as a Windows path, or empty when
  // the user chose none.
  virtual std::string PickMailProgram(std::string_view start_folder) = 0;

  // Delivered data files that were refused or are missing, one UTF-8 line
  // each, once per start. Standard error unless the program shows more.
  virtual void ShowDataProblems(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) std::fprintf(stderr, "Mail Zevrox: %s\n", line.c_str());
  }

  // Ends the program's message loop: the checker's end after a fatal error.
  virtual void RequestQuit() = 0;
};

}  // namespace zvrx
