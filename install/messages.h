// The installer's string table: its status texts and message boxes, CP932.
#pragma once

#include <string>

namespace zvrx {

inline constexpr int kMsgInstalled = 9;          // installation complete
inline constexpr int kMsgNoSpace = 11;           // the main disk lacks 2 megabytes
inline constexpr int kMsgConfirmRemove = 12;     // really remove?
inline constexpr int kMsgAlreadyInstalled = 13;
inline constexpr int kMsgPressInstall = 14;
inline constexpr int kMsgInstalling = 15;
inline constexpr int kMsgRemoving = 16;          // "Mali" as the program always wrote it
inline constexpr int kMsgRemoved = 17;
// Ours: a program that could not be copied is named, never passed over.
inline constexpr int kMsgProgramNotCopied = 901;

// The text of a message, CP932; empty for an unknown id.
const std::string& InstallerMessage(int id);

inline constexpr char kLicenceCaption[] = "  Mail Zevrox";
inline constexpr char kMainCaption[] = "  Mail Zevrox Installer";
inline constexpr char kNoSpaceCaption[] = "Mail Zevrox";
inline constexpr char kConfirmCaption[] = "  Mail Zevrox";

}  // namespace zvrx
