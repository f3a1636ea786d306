// The file-open dialog (GetOpenFileName): filters, a default extension and a
// start folder in, the chosen file out, all as CP932 Windows paths.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace zvrx::platform::ui {

struct OpenFileRequest {
  // Pairs of description and pattern ("*.exe"), CP932.
  std::vector<std::pair<std::string, std::string>> filters;
  std::string default_extension;  // without the dot; "" for none
  std::string start_folder;       // a Windows path; "" for the current folder
  bool must_exist = true;
};

// Shows the dialog on the main thread. The chosen file as a Windows path, or
// "" when the user cancelled. A scripted answer is taken as the chosen path
// (a host path starting with "/" or a Windows path); CANCEL chooses nothing.
std::string GetOpenFileName(const OpenFileRequest& request);

}  // namespace zvrx::platform::ui
