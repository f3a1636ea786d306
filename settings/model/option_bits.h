// What the options page computes without a window: the option word and the
// launch flags after a click on one of its check boxes, the mail program's
// file name part, and the cut of the paths and arguments it stores.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "shared/records.h"

namespace zvrx {

// Check boxes of dialog 107.
inline constexpr int kIdAutoSoundBox = 1006;
inline constexpr int kIdAutoDialogBox = 1007;
inline constexpr int kIdAutoStartMailerBox = 1008;
inline constexpr int kIdManualReportBox = 1009;
inline constexpr int kIdManualStartMailerBox = 1010;

// LaunchFlags bits of BasicSettings.
inline constexpr uint16_t kLaunchAuto = 1u << 0;    // follows option bit 2
inline constexpr uint16_t kLaunchManual = 1u << 1;  // follows option bit 8

// The option bit a box shows; 0 for an id that is no option box.
uint16_t OptionBitOfBox(int box_id);

struct OptionWords {
  uint16_t option_bits = 0;
  uint16_t launch_flags = 0;
};

// A click left box `box_id` ticked or unticked. A ticked box sets its bit
// (and for the two mail-program boxes its launch flag). An unticked box
// clears its bit together with every bit that has no meaning; the manual
// mail-program box keeps only bits 0, 1, 2 and 4. Unticking a mail-program
// box clears its launch flag, so the flags never claim a launch that the
// option word no longer asks for.
OptionWords ApplyOptionBox(int box_id, bool ticked, OptionWords words);

// Opening the page only adds launch flags for the option bits that are set;
// it never clears one.
uint16_t LaunchFlagsOnOpen(uint16_t option_bits, uint16_t launch_flags);

// The longest prefix of `text` of at most `max_bytes` bytes that does not
// end inside a two-byte character.
std::string_view CutCp932(std::string_view text, size_t max_bytes);

// The text after the path's last backslash, or the whole path when it has
// none. A 0x5C that is the second byte of a two-byte character (as in "ソ")
// is not a separator.
std::string FileNamePart(std::string_view path);

// The mail program's path field holds 119 bytes and its terminator; a
// chosen path that does not fit is refused rather than cut, since a cut
// path would name some other file.
inline constexpr size_t kMailerPathMax = kMailerPathSize - 1;
bool MailerPathFits(std::string_view path);

// The command-line field takes at most 59 bytes (the stored field is 60).
inline constexpr size_t kMailerArgumentsMax = kMailerArgumentsSize - 1;

// Stores the path into the 120-byte field, zero-filled behind it; false
// (nothing stored) when it does not fit.
bool StoreMailerPath(MailerSettings& mailer, std::string_view path);
// Stores the field's text, cut to 59 bytes on a character boundary.
void StoreMailerArguments(MailerSettings& mailer, std::string_view arguments);

}  // namespace zvrx
