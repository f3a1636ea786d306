// zvrxctl accept and reject: the acceptance and rejection lists, edited with
// the list pages' rules (what an entry may hold, how the file is written)
// and delivered to a running checker.
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/cp932.h"
#include "platform/files.h"
#include "settings/model/list_entries.h"
#include "shared/list_files.h"
#include "shared/locations.h"
#include "shared/records.h"
#include "tools/zvrxctl/commands.h"
#include "tools/zvrxctl/delivery.h"

namespace zvrx::ctl {

namespace {

struct ListCommand {
  const char* command;
  ListKind kind;
  const char* file_name;
  uint8_t reload_flag;
};

// Texts are never measured here: an entry is always shown whole.
int NoMeasure(std::string_view) { return -1; }

// An address as the list holds it: CP932, within the page's limit for a
// typed entry, no control bytes (the file is one entry per line) and no ".."
// (the page cuts an entry there).
std::optional<std::string> EntryText(const ListCommand& list, const std::string& utf8,
                                     std::string* why) {
  const std::string text = platform::Utf8ToCp932(utf8);
  const size_t limit = list.kind == ListKind::kAcceptance ? kEntryMaxBytes : kRejectionAddMaxBytes;
  if (text.empty()) {
    *why = "an address must not be empty";
  } else if (platform::Cp932ToUtf8(text) != utf8) {
    *why = "\"" + utf8 + "\" has characters that Shift-JIS cannot hold";
  } else if (text.size() > limit) {
    *why = "\"" + utf8 + "\" is longer than " + std::to_string(limit) + " bytes";
  } else if (text.find("..") != std::string::npos) {
    *why = "\"" + utf8 + "\" holds \"..\", where the list page cuts an entry";
  } else {
    for (unsigned char c : text) {
      if (c < 0x20 || c == 0x7F) {
        *why = "an address must not hold control characters";
        return std::nullopt;
      }
    }
    return text;
  }
  return std::nullopt;
}

int RunList(const ListCommand& list, const Args& args) {
  const std::string usage = std::string(list.command) + ": give add|remove ADDRESS... or list";
  if (args.empty()) return Fail(usage);
  const std::string& verb = args[0];
  if (verb != "add" && verb != "remove" && verb != "list") return Fail(usage);
  if (verb == "list" ? args.size() != 1 : args.size() < 2) return Fail(usage);
  if (!platform::FolderExists(DataFolder())) {
    return Fail(std::string(list.command) + ": run init first");
  }

  const std::string path = DataFolder() + list.file_name;
  const std::optional<std::vector<char>> file = platform::ReadFileBytes(path);
  ListEntries entries(list.kind, NoMeasure, 0);
  if (file) entries.Load(std::string_view(file->data(), file->size()));

  if (verb == "list") {
    for (int i = 0; i < entries.count(); ++i) {
      std::printf("%s\n", platform::Cp932ToUtf8(entries.FullText(i)).c_str());
    }
    return std::fflush(stdout) == 0 ? 0 : 2;
  }

  for (size_t i = 1; i < args.size(); ++i) {
    std::string why;
    const std::optional<std::string> text = EntryText(list, args[i], &why);
    if (!text) return Fail(std::string(list.command) + ": " + why);
    int found = -1;
    for (int k = 0; k < entries.count() && found < 0; ++k) {
      if (entries.FullText(k) == *text) found = k;
    }
    if (verb == "add") {
      if (found < 0) entries.Add(*text);  // an address listed already stays once
    } else {
      if (found < 0) {
        return Fail(std::string(list.command) + ": \"" + args[i] + "\" is not on the list");
      }
      entries.Delete(found);
    }
  }
  const std::string text = entries.FileText();
  if (!platform::WriteFileBytes(path, text.data(), text.size())) {
    return Fail(std::string(list.command) + ": cannot write " + list.file_name);
  }
  DeliveryRequest request;
  request.list_reload_flags = list.reload_flag;
  DeliverToRunningChecker(request);
  return 0;
}

}  // namespace

int RunAccept(const Args& args) {
  return RunList({"accept", ListKind::kAcceptance, kAcceptanceListName, kReloadAcceptanceList},
                 args);
}

int RunReject(const Args& args) {
  return RunList({"reject", ListKind::kRejection, kRejectionListName, kReloadRejectionList}, args);
}

}  // namespace zvrx::ctl
