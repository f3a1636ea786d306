#include "settings/model/option_bits.h"

#include <cstring>

#include "platform/cp932.h"
#include "platform/path_split.h"

namespace zvrx {

uint16_t OptionBitOfBox(int box_id) {
  switch (box_id) {
    case kIdAutoSoundBox:
      return kOptAutoSound;
    case kIdAutoDialogBox:
      return kOptAutoDialog;
    case kIdAutoStartMailerBox:
      return kOptAutoStartMailer;
    case kIdManualReportBox:
      return kOptManualReport;
    case kIdManualStartMailerBox:
      return kOptManualStartMailer;
    default:
      return 0;
  }
}

OptionWords ApplyOptionBox(int box_id, bool ticked, OptionWords words) {
  const uint16_t bit = OptionBitOfBox(box_id);
  if (bit == 0) return words;
  uint16_t launch = 0;
  if (box_id == kIdAutoStartMailerBox) launch = kLaunchAuto;
  if (box_id == kIdManualStartMailerBox) launch = kLaunchManual;

  if (ticked) {
    words.option_bits |= bit;
    words.launch_flags |= launch;
  } else {
    // kOptValidBits are exactly bits 0, 1, 2, 4 and 8, so this also drops
    // bits 3, 5-7 and 9-15.
    words.option_bits &= static_cast<uint16_t>(kOptValidBits & ~bit);
    words.launch_flags &= static_cast<uint16_t>(~launch);
  }
  return words;
}

uint16_t LaunchFlagsOnOpen(uint16_t option_bits, uint16_t launch_flags) {
  return static_cast<uint16_t>(launch_flags | DeriveLaunchFlags(option_bits));
}

std::string_view CutCp932(std::string_view text, size_t max_bytes) {
  size_t end = 0;
  while (end < text.size()) {
    const size_t width = platform::IsCp932LeadByte(static_cast<unsigned char>(text[end])) ? 2 : 1;
    if (end + width > max_bytes || end + width > text.size()) break;
    end += width;
  }
  return text.substr(0, end);
}

std::string FileNamePart(std::string_view path) {
  const size_t separator = platform::FindLastSeparator(path);
  return std::string(separator == std::string_view::npos ? path : path.substr(separator + 1));
}

bool MailerPathFits(std::string_view path) {
  return path.size() <= kMailerPathMax && path.find('\0') == std::string_view::npos;
}

bool StoreMailerPath(MailerSettings& mailer, std::string_view path) {
  if (!MailerPathFits(path)) return false;
  std::memset(mailer.mailer_path, 0, sizeof mailer.mailer_path);
  std::memcpy(mailer.mailer_path, path.data(), path.size());
  return true;
}

void StoreMailerArguments(MailerSettings& mailer, std::string_view arguments) {
  const std::string_view cut = CutCp932(arguments.substr(0, arguments.find('\0')),
                                        kMailerArgumentsMax);
  std::memset(mailer.mailer_arguments, 0, sizeof mailer.mailer_arguments);
  std::memcpy(mailer.mailer_arguments, cut.data(), cut.size());
}

}  // namespace zvrx
