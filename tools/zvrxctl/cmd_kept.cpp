// zvrxctl kept, restore and keep: the kept copies of deleted mail in
// "Zvrx Staffs\Kept\", and the settings that govern them in ZVRXExt.ini
// (the checker reads them afresh at every check).
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "platform/cp932.h"
#include "platform/files.h"
#include "shared/extension_settings.h"
#include "shared/kept_copies.h"
#include "shared/locations.h"
#include "tools/zvrxctl/commands.h"

namespace zvrx::ctl {

namespace {

// Header text from a server, for a terminal: control bytes (tabs too, which
// separate the columns) show as '?'.
std::string Printable(std::string_view cp932) {
  std::string text = platform::Cp932ToUtf8(cp932);
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  return text;
}

// "yy.mm.dd hh:mm" from the copy's name, for a copy without its index.
std::string DateOfName(const std::string& name) {
  if (name.size() < 15) return name;
  return name.substr(2, 2) + "." + name.substr(4, 2) + "." + name.substr(6, 2) + " " +
         name.substr(9, 2) + ":" + name.substr(11, 2);
}

std::string DateOf(const KeptCopy& copy) {
  if (!copy.indexed || copy.info.stamp.size() < kKeptStampLength) return DateOfName(copy.name);
  // The log's stamp has two blanks between date and time.
  return copy.info.stamp.substr(0, 8) + " " + copy.info.stamp.substr(10, 5);
}

bool WriteHostFile(const std::string& path, const char* mode, const std::string& bytes) {
  std::FILE* file = std::fopen(path.c_str(), mode);
  if (file == nullptr) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  ok = std::fclose(file) == 0 && ok;
  return ok;
}

// The copies named by numbers of `zvrxctl kept` or by their names.
bool Select(const std::vector<KeptCopy>& copies, const std::vector<std::string>& wanted,
            std::vector<const KeptCopy*>* chosen, std::string* error) {
  for (const std::string& item : wanted) {
    const KeptCopy* found = nullptr;
    long number = 0;
    if (ParseNumber(item, false, 1, static_cast<long>(copies.size()), &number)) {
      found = &copies[static_cast<size_t>(number - 1)];
    } else {
      std::string name = item;
      if (name.size() > 4 && name.substr(name.size() - 4) == kKeptCopySuffix) {
        name.resize(name.size() - 4);
      }
      for (const KeptCopy& copy : copies) {
        if (copy.name == name) found = &copy;
      }
    }
    if (found == nullptr) {
      *error = "no kept copy " + item + " (zvrxctl kept lists them)";
      return false;
    }
    chosen->push_back(found);
  }
  return true;
}

}  // namespace

int RunKept(const Args& args) {
  if (!args.empty()) return Fail("kept: takes no arguments");
  if (!platform::FolderExists(DataFolder())) return Fail("kept: no data folder (run init first)");
  const std::vector<KeptCopy> copies = ListKeptCopies();
  if (copies.empty()) {
    std::printf("no kept copies\n");
    return 0;
  }
  int number = 0;
  for (const KeptCopy& copy : copies) {
    std::printf("%d\t%s\t%s\tFrom: %s\tSubject: %s\t%lld bytes\t%s\n", ++number,
                DateOf(copy).c_str(), Printable(copy.info.category).c_str(),
                Printable(copy.info.from).c_str(), Printable(copy.info.subject).c_str(),
                static_cast<long long>(copy.size), copy.name.c_str());
  }
  return std::fflush(stdout) == 0 ? 0 : 2;
}

int RunRestore(const Args& args) {
  std::vector<std::string> wanted;
  std::string folder;
  std::string mbox;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--to" || args[i] == "--mbox") {
      if (i + 1 >= args.size()) return Fail("restore: " + args[i] + " needs a name");
      if (!folder.empty() || !mbox.empty()) return Fail("restore: give --to or --mbox once");
      (args[i] == "--to" ? folder : mbox) = args[i + 1];
      if (args[i + 1].empty()) return Fail("restore: " + args[i] + " needs a name");
      ++i;
    } else {
      wanted.push_back(args[i]);
    }
  }
  if (wanted.empty()) return Fail("restore: say which copies (numbers from zvrxctl kept)");
  if (!platform::FolderExists(DataFolder())) {
    return Fail("restore: no data folder (run init first)");
  }
  const std::vector<KeptCopy> copies = ListKeptCopies();
  std::vector<const KeptCopy*> chosen;
  std::string error;
  if (!Select(copies, wanted, &chosen, &error)) return Fail("restore: " + error);
  if (mbox.empty() && folder.empty()) folder = ".";

  // Every copy is read first, so a vanished one writes nothing at all.
  std::vector<std::string> bytes;
  for (const KeptCopy* copy : chosen) {
    auto read = ReadKeptCopy(*copy);
    if (!read) return Fail("restore: the copy " + copy->name + " cannot be read");
    bytes.emplace_back(read->begin(), read->end());
  }

  if (!mbox.empty()) {
    std::string text;
    std::FILE* old = std::fopen(mbox.c_str(), "rb");
    if (old != nullptr) {
      // A "From " line starts a message only after an empty line: an mbox
      // that does not end in one gets it, or our first entry would be read
      // as part of its last message.
      char tail[2] = {0, 0};
      if (std::fseek(old, 0, SEEK_END) == 0 && std::ftell(old) > 0) {
        const long size = std::ftell(old);
        std::fseek(old, size >= 2 ? -2 : -1, SEEK_END);
        const size_t got = std::fread(tail, 1, size >= 2 ? 2 : 1, old);
        const char last = got == 2 ? tail[1] : tail[0];
        const char before = got == 2 ? tail[0] : '\n';
        if (last != '\n') {
          text = "\n\n";
        } else if (before != '\n') {
          text = "\n";
        }
      }
      std::fclose(old);
    }
    for (size_t i = 0; i < chosen.size(); ++i) text += MboxEntry(bytes[i], chosen[i]->seconds);
    if (!WriteHostFile(mbox, "ab", text)) {
      return Fail("restore: cannot append to " + mbox);
    }
    std::printf("appended %zu message%s to %s\n", chosen.size(), chosen.size() == 1 ? "" : "s",
                mbox.c_str());
    return std::fflush(stdout) == 0 ? 0 : 2;
  }

  if (folder.back() != '/') folder += '/';
  int status = 0;
  for (size_t i = 0; i < chosen.size(); ++i) {
    const std::string path = folder + chosen[i]->name + kKeptCopySuffix;
    // "x": an existing file is never overwritten.
    if (!WriteHostFile(path, "wbx", bytes[i])) {
      std::fprintf(stderr, "zvrxctl: restore: cannot write %s (it may exist already)\n",
                   path.c_str());
      status = 1;
      continue;
    }
    std::printf("%s\n", path.c_str());
  }
  if (std::fflush(stdout) != 0) return 2;
  return status;
}

int RunKeep(const Args& args) {
  std::string key;
  std::string value;
  if (args.size() == 1 && (args[0] == "on" || args[0] == "off")) {
    key = kKeepDeletedKey;
    value = args[0];
  } else if (args.size() == 2 && args[0] == "days") {
    key = kKeepDaysKey;
    value = args[1];
  } else if (args.size() == 2 && args[0] == "size") {
    key = kKeepSizeKey;
    value = args[1];
  } else {
    return Fail("keep: say on, off, days N or size MB");
  }
  std::string error = ChangeExtensionSettings({{key, value}});
  if (error.empty()) return 0;
  if (!platform::FolderExists(DataFolder())) error += " (run init first)";
  return Fail("keep: " + error);
}

void ShowKeptSettings() {
  const ExtensionSettings settings = LoadExtensionSettings();
  const KeptOptions keep = KeptOptionsFrom(settings);
  std::printf("kept copies of deleted mail: %s, %d days, %lld MB (Zvrx Staffs\\Kept)\n",
              keep.enabled ? "on" : "off", keep.days,
              static_cast<long long>(keep.max_total_bytes / kMegabyte));
}

}  // namespace zvrx::ctl
