// zvrxctl log: the work log, as the work-log page would show it, in UTF-8.
#include <cstdio>
#include <string>

#include "platform/cp932.h"
#include "platform/files.h"
#include "shared/locations.h"
#include "shared/work_log_format.h"
#include "tools/zvrxctl/commands.h"

namespace zvrx::ctl {

int RunLog(const Args& args) {
  if (!args.empty()) return Fail("log takes no arguments");
  const std::string path = DataFolder() + kWorkLogName;
  auto bytes = platform::ReadFileBytes(path);
  if (!bytes) {
    // Only a log that does not exist means no deletions yet.
    if (!platform::FileExists(path) && !platform::FolderExists(path)) return 0;
    return Fail(std::string("log: the work log ") + kWorkLogName + " cannot be read" +
                (platform::FolderExists(path) ? " (a folder stands in its place)" : ""));
  }
  if (bytes->empty()) return 0;  // no deletions yet
  std::string text;
  text.reserve(bytes->size());
  for (size_t i = 0; i < bytes->size(); ++i) {
    // CR LF to LF; CP932 trail bytes are never CR, so no character is split.
    if ((*bytes)[i] == '\r' && i + 1 < bytes->size() && (*bytes)[i + 1] == '\n') continue;
    text.push_back((*bytes)[i]);
  }
  std::string utf8 = platform::Cp932ToUtf8(text);
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 2;
}

}  // namespace zvrx::ctl
