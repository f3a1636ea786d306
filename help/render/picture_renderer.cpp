#include "help/render/picture_renderer.h"

#include <cstdio>

#include "help/render/jpeg_decoder.h"
#include "platform/drives.h"

namespace zvrx::help {

namespace {

void ToStandardError(const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); }

// The last name of a Windows path, for the message.
std::string_view NameOf(std::string_view windows_path) {
  const size_t slash = windows_path.find_last_of("\\/");
  return slash == std::string_view::npos ? windows_path : windows_path.substr(slash + 1);
}

}  // namespace

PictureRenderer::PictureRenderer(ErrorSink errors)
    : errors_(errors ? std::move(errors) : ErrorSink(ToStandardError)) {}

bool PictureRenderer::Decode(std::string_view windows_path, KeptPicture& into, int& decodes) {
  std::FILE* file = std::fopen(platform::HostPath(windows_path).c_str(), "rb");
  if (file == nullptr) return false;  // nothing changes
  ++decodes;
  std::vector<uint8_t> image;
  const DecodeOutcome outcome = DecodeJpegStream(file, image);
  std::fclose(file);
  DeviceBitmap bitmap;
  if (outcome.status != DecodeStatus::kDecoded) {
    // libjpeg's message, as its own error handling would print it; the
    // viewer goes on with what it showed.
    errors_("ZvrxHelp: " + std::string(NameOf(windows_path)) + ": " + outcome.message);
    return false;
  }
  if (!ReadDeviceBitmap(image, bitmap)) return false;  // cannot happen for our own image
  into.image.swap(image);
  into.bitmap = bitmap;
  return true;
}

const KeptPicture* PictureRenderer::Page(std::string_view windows_path, int topic) {
  if (topic != last_topic_) {
    last_topic_ = topic;
    Decode(windows_path, page_, page_decodes_);
  }
  return page_.empty() ? nullptr : &page_;
}

const KeptPicture* PictureRenderer::Logo(std::string_view windows_path) {
  Decode(windows_path, logo_, logo_decodes_);
  return Logo();
}

const KeptPicture* PictureRenderer::Logo() const { return logo_.empty() ? nullptr : &logo_; }

void PictureRenderer::Free() {
  page_ = KeptPicture{};
  logo_ = KeptPicture{};
}

}  // namespace zvrx::help
