#include "install/installer.h"

#include <chrono>
#include <optional>
#include <thread>

#include "platform/autostart.h"
#include "platform/cp932.h"
#include "platform/file_copy.h"
#include "platform/sound.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/process_list.h"
#include "platform/shared_memory.h"
#include "shared/locations.h"
#include "shared/transfer_block.h"

namespace zvrx {

namespace {

// The Startup folder of a Japanese Windows 95/98, below the Windows folder.
constexpr char kStartupFolderUtf8[] = "ｽﾀｰﾄ ﾒﾆｭｰ\\ﾌﾟﾛｸﾞﾗﾑ\\ｽﾀｰﾄｱｯﾌﾟ\\";
constexpr size_t kDriveRootLength = 3;  // "C:\"

bool Contains(std::string_view name, std::string_view part) {
  return name.find(part) != std::string_view::npos;
}

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

std::string ParentFolder(const std::string& path) {
  const size_t cut = path.rfind('\\');
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

}  // namespace

InstallerPaths BuildInstallerPaths(const std::string& windows_directory,
                                   const std::string& current_folder) {
  InstallerPaths paths;
  paths.windows_folder = windows_directory + "\\";
  const size_t cut = paths.windows_folder.find('\\');
  paths.drive_root = paths.windows_folder.substr(0, cut + 1);
  paths.install_root = paths.drive_root + kInstallSubfolder;
  // From a drive root the current folder already ends in its backslash.
  paths.source_folder = current_folder;
  if (current_folder.size() != kDriveRootLength) paths.source_folder += "\\";
  paths.source_folder += kSourceFolderName;
  paths.startup_copy =
      paths.windows_folder + platform::Utf8ToCp932(kStartupFolderUtf8) + kCheckerProgramName;
  paths.licence_text = paths.source_folder + kDataSubfolder + kLicenceName;
  paths.completion_sound = paths.install_root + kDataSubfolder + kCompletionSoundName;
  return paths;
}

bool PassesCopyFilter(std::string_view name) {
  for (std::string_view left_out : {"..", "FINDER.DAT", "ZVRX Staffs", "Method", "Zvrx.exe"}) {
    if (Contains(name, left_out)) return false;
  }
  return !Contains(name, "Help") || Contains(name, "ZvrxHelp");
}

bool PassesDeleteFilter(std::string_view name) {
  for (std::string_view kept : {"..", "Zvrx.exe", "ZVRX Staffs", "Method"}) {
    if (Contains(name, kept)) return false;
  }
  return true;
}

bool IsProgramFile(std::string_view name) {
  if (name.size() < 4) return false;
  std::string tail(name.substr(name.size() - 4));
  for (char& c : tail) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return tail == ".exe";
}

InstallerActions RealInstallerActions() {
  InstallerActions actions;
  actions.free_space = [](const std::string& folder) { return platform::FreeDiskSpace(folder); };
  actions.stop_programs = [](std::string_view module_name) {
    // Every match, not only the first: a program may run twice.
    for (const platform::RunningProgram& program : platform::ProgramsOfThisMachine()) {
      if (Contains(program.module_name, module_name)) {
        platform::StopProcess(program.pid, kStopGraceMs);
      }
    }
  };
  actions.play_sound = [](const std::vector<uint8_t>& image) {
    platform::PlayWaveImage(image.data(), image.size());
  };
  actions.start_program = [](const std::string& line) { return platform::StartProgram(line); };
  actions.checker_block_exists = [] {
    int error = 0;
    return platform::SharedMemory::Open(kTransferBlockName, kTransferBlockSize, &error) != nullptr;
  };
  actions.process_running = [](int pid) { return platform::ProcessRunning(pid); };
  actions.sleep = [](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
  actions.write_autostart = [](const std::string& program) {
    return platform::WriteAutostartEntry(program);
  };
  actions.remove_autostart = [] { return platform::RemoveAutostartEntry(); };
  return actions;
}

InstallReport InstallSuite(const InstallerPaths& paths, const InstallerActions& actions) {
  InstallReport report;
  if (actions.free_space(paths.drive_root) < kRequiredFreeSpace) {
    report.outcome = InstallOutcome::kNoSpace;
    return report;
  }
  auto program_lost = [&report](const std::string& target) {
    if (report.failed_program.empty()) report.failed_program = target;
    report.outcome = InstallOutcome::kProgramNotCopied;
  };

  for (const char* sub : kInstallSubfolders) {
    const std::string target_folder = paths.install_root + sub;
    const std::string source_folder = paths.source_folder + sub;
    // Missing parents are made too: without them nothing would be copied.
    platform::CreateFolderPath(target_folder);
    if (!platform::FolderExists(source_folder)) continue;
    // The names are collected first, as many as the folder holds.
    std::vector<std::string> names;
    for (std::string& name : platform::ListFolder(source_folder + "*.*")) {
      if (PassesCopyFilter(name)) names.push_back(std::move(name));
    }
    for (const std::string& name : names) {
      const std::string source = source_folder + name;
      if (!platform::FileExists(source) || platform::FileSize(source) <= 0) continue;
      if (platform::CopyWholeFile(source, target_folder + name)) {
        ++report.files_copied;
      } else if (IsProgramFile(name)) {
        program_lost(target_folder + name);
      }
    }
  }
  // The settings program is what marks the suite as installed.
  if (!platform::FileExists(paths.install_root + kSettingsProgramName)) {
    program_lost(paths.install_root + kSettingsProgramName);
  }

  platform::CreateFolderPath(ParentFolder(paths.startup_copy));
  if (!platform::CopyWholeFile(paths.source_folder + kCheckerProgramName, paths.startup_copy)) {
    program_lost(paths.startup_copy);
  } else {
    actions.write_autostart(paths.startup_copy);
  }
  return report;
}

void RemoveSuite(const InstallerPaths& paths, const InstallerActions& actions) {
  for (const char* name : kStopList) actions.stop_programs(name);
  for (const char* sub : kInstallSubfolders) {
    const std::string folder = paths.install_root + sub;
    for (const std::string& name : platform::ListFolder(folder + "*.*")) {
      if (PassesDeleteFilter(name)) platform::DeleteFile(folder + name);
    }
    platform::RemoveFolder(folder);  // only when empty
  }
  platform::RemoveFolder(paths.install_root);
  platform::DeleteFile(paths.startup_copy);
  actions.remove_autostart();
}

bool SuiteInstalled(const InstallerPaths& paths) {
  return platform::FileExists(paths.install_root + kSettingsProgramName);
}

StartReport StartSuite(const InstallerPaths& paths, const InstallerActions& actions) {
  StartReport report;
  report.checker_pid = actions.start_program(Quoted(paths.startup_copy));
  if (report.checker_pid > 0) {
    while (report.block_tests < kBlockWaitLimit) {
      ++report.block_tests;
      if (actions.checker_block_exists()) {
        report.block_seen = true;
        break;
      }
      // A checker that has ended will never make its block.
      if (!actions.process_running(report.checker_pid)) break;
      actions.sleep(kBlockWaitMs);
    }
  }
  // Started in any case: it is where the user makes the basic settings.
  report.settings_pid = actions.start_program(Quoted(paths.install_root + kSettingsProgramName));
  return report;
}

void PlayCompletionSound(const InstallerPaths& paths, const InstallerActions& actions) {
  std::optional<std::vector<char>> bytes = platform::ReadFileBytes(paths.completion_sound);
  if (!bytes || bytes->empty()) return;
  actions.play_sound(std::vector<uint8_t>(bytes->begin(), bytes->end()));
}

}  // namespace zvrx
