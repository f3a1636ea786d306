// The file-open and file-save dialogs (GetOpenFileName, GetSaveFileName):
// filters, a default extension and a start folder in, the chosen file out,
// all as CP932 Windows paths.
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
  // The file name the dialog starts with (the caller's file buffer): a
  // Windows path, shown selected; "" for none.
  std::string initial_file;
  bool must_exist = true;
};

// Shows the dialog on the main thread. The chosen file as a Windows path, or
// "" when the user cancelled. A scripted answer is taken as the chosen path
// (a host path starting with "/" or a Windows path); CANCEL chooses nothing.
std::string GetOpenFileName(const OpenFileRequest& request);

struct SaveFileRequest {
  std::vector<std::pair<std::string, std::string>> filters;  // as for opening
  std::string default_extension;  // without the dot; "" for none
  std::string start_folder;       // a Windows path; "" for the current folder
};

// The save dialog: an existing file may be chosen and is not asked about
// (the caller overwrites it). The chosen file as a Windows path, or "" when
// cancelled. Transcript kind "filesave"; a scripted answer is the path, as
// for opening.
std::string GetSaveFileName(const SaveFileRequest& request);

}  // namespace zvrx::platform::ui
