// The sender list files of the data folder: the user's acceptance and
// rejection lists (plain CP932 lines, written by the settings program and
// zvrxctl) and the delivered anonymous-sign lists A and B (data-scrambled,
// written by the data compiler). Every line ends in CR LF.
#pragma once

namespace zvrx {

inline constexpr char kAcceptanceListName[] = "ZVRXWhiteList";
inline constexpr char kRejectionListName[] = "ZVRXBlackList";
inline constexpr char kAnonymousListAName[] = "ZVRk-128";  // matched against From
inline constexpr char kAnonymousListBName[] = "ZVRk-129";  // Message-Id or From

// The judgment's working area for one sign: 63 bytes and a NUL.
inline constexpr int kMaxSignLineLength = 63;

}  // namespace zvrx
