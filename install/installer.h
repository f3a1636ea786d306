// The installer's work without its windows: the paths it builds, the copy
// and delete filters, installing, removing, and starting the suite after an
// installation. Every outside effect that a test needs to steer (free
// space, stopping and starting programs, the transfer block, the sound,
// sleeping) goes through InstallerActions.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zvrx {

inline constexpr int64_t kRequiredFreeSpace = 2000000;  // bytes on the system drive
inline constexpr int kStopGraceMs = 500;                // polite end, then the hard one
inline constexpr int kBlockWaitMs = 1000;               // between tests for the checker's block
inline constexpr int kBlockWaitLimit = 30;              // tests before giving up

// The sub-folders installed and removed, in this order ("" is the root).
inline constexpr const char* kInstallSubfolders[] = {"", "Method\\", "Zvrx Staffs\\", "Help\\"};
// The module names stopped before a removal.
inline constexpr const char* kStopList[] = {"ZVRX.EXE", "MAILZEVROX.EXE", "ZVRXHELP.EXE"};

inline constexpr char kSourceFolderName[] = "Installer Resources\\";
inline constexpr char kSettingsProgramName[] = "MailZevrox.exe";
inline constexpr char kCheckerProgramName[] = "Zvrx.exe";
inline constexpr char kLicenceName[] = "LICENSE";
inline constexpr char kCompletionSoundName[] = "Regist";

// All Windows paths (CP932); folders end in a backslash.
struct InstallerPaths {
  std::string windows_folder;
  std::string drive_root;
  std::string install_root;
  std::string source_folder;
  std::string startup_copy;
  std::string licence_text;
  std::string completion_sound;
};

// The paths from the Windows directory and the current folder (both without
// a trailing backslash, as the system returns them).
InstallerPaths BuildInstallerPaths(const std::string& windows_directory,
                                   const std::string& current_folder);

// Whether a file of a source folder is copied when its folder is installed.
bool PassesCopyFilter(std::string_view name);
// Whether a file of an installed folder is deleted when it is removed.
bool PassesDeleteFilter(std::string_view name);
// Whether a file is one of the programs, whose loss is never silent.
bool IsProgramFile(std::string_view name);

struct InstallerActions {
  // Bytes free on the volume of a folder, 64 bits; -1 when unknown.
  std::function<int64_t(const std::string&)> free_space;
  // Every running program of this machine whose module name contains the
  // name is stopped.
  std::function<void(std::string_view module_name)> stop_programs;
  // A wave image played to its end.
  std::function<void(const std::vector<uint8_t>&)> play_sound;
  // Starts a program from a command line; its process id, -1 on failure.
  std::function<int(const std::string& command_line)> start_program;
  std::function<bool()> checker_block_exists;
  std::function<bool(int pid)> process_running;
  std::function<void(int ms)> sleep;
  // The desktop's autostart entry for the startup copy.
  std::function<bool(const std::string& program)> write_autostart;
  std::function<bool()> remove_autostart;
};

// The real ones: the platform layer's.
InstallerActions RealInstallerActions();

enum class InstallOutcome {
  kInstalled,
  kNoSpace,            // message 11; nothing copied
  kProgramNotCopied,   // a program could not be copied; named in failed_program
};

struct InstallReport {
  InstallOutcome outcome = InstallOutcome::kInstalled;
  std::string failed_program;  // CP932 Windows path of the target
  int files_copied = 0;
};

// Copies the suite from the source folder into the install root, the
// checker to the startup copy, and writes the autostart entry.
InstallReport InstallSuite(const InstallerPaths& paths, const InstallerActions& actions);

// Stops the suite's programs and deletes what was installed, the startup
// copy and the autostart entry.
void RemoveSuite(const InstallerPaths& paths, const InstallerActions& actions);

// Whether the settings program is in the install root (the installed flag).
bool SuiteInstalled(const InstallerPaths& paths);

struct StartReport {
  int checker_pid = -1;
  int settings_pid = -1;
  bool block_seen = false;
  int block_tests = 0;
};

// After an installation: the startup copy, a wait for its transfer block
// (which ends early when the checker has ended, and after kBlockWaitLimit
// tests at the latest), then the settings program.
StartReport StartSuite(const InstallerPaths& paths, const InstallerActions& actions);

// The completion sound file read whole and played; nothing when missing.
void PlayCompletionSound(const InstallerPaths& paths, const InstallerActions& actions);

}  // namespace zvrx
