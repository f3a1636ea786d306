// Makes the installer's files of the distribution's data folder: the
// licence text "LICENSE" (CP932 with CR LF line ends, as an edit box of
// the system shows it) from its UTF-8 source, and the completion sound
// "Regist".
//   zvrx_install_data LICENCE_SOURCE DATA_FOLDER
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "install/completion_sound.h"
#include "platform/cp932.h"

namespace {

bool WriteWhole(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out.flush());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: zvrx_install_data LICENCE_SOURCE DATA_FOLDER\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::stringstream source;
  source << in.rdbuf();
  if (!in) {
    std::fprintf(stderr, "zvrx_install_data: cannot read %s\n", argv[1]);
    return 1;
  }
  std::string utf8;
  for (char c : source.str()) {
    if (c == '\r') continue;
    if (c == '\n') utf8 += '\r';
    utf8 += c;
  }
  const std::string cp932 = zvrx::platform::Utf8ToCp932(utf8);
  // A character CP932 lacks would come out as '?': refuse rather than ship it.
  if (zvrx::platform::Cp932ToUtf8(cp932) != utf8) {
    std::fprintf(stderr, "zvrx_install_data: %s holds characters CP932 lacks\n", argv[1]);
    return 1;
  }
  const std::string folder = argv[2];
  const std::vector<uint8_t> sound = zvrx::CompletionSoundImage();
  if (!WriteWhole(folder + "/LICENSE", cp932) ||
      !WriteWhole(folder + "/Regist", std::string(sound.begin(), sound.end()))) {
    std::fprintf(stderr, "zvrx_install_data: cannot write into %s\n", argv[2]);
    return 1;
  }
  return 0;
}
