// The viewer's pictures between file and window: the page of the topic
// decoded last and the logo, each kept in its own memory, so that drawing
// one never shows the other. A page is decoded only when the topic
// changes; repainting and re-selecting reuse what is kept.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "help/render/bitmap_image.h"

namespace zvrx::help {

// One decoded picture: its bitmap file image and the bitmap inside it.
struct KeptPicture {
  std::vector<uint8_t> image;
  DeviceBitmap bitmap;
  bool empty() const { return image.empty(); }
};

class PictureRenderer {
 public:
  // Where refusals are reported; standard error unless a test listens.
  using ErrorSink = std::function<void(const std::string&)>;
  explicit PictureRenderer(ErrorSink errors = {});

  // The page of `topic` from the picture file at `windows_path`: decoded
  // when `topic` differs from the topic decoded last (which it becomes),
  // else the kept page. A file that cannot be opened or decoded leaves the
  // kept page as it was. Null when no page was ever decoded.
  const KeptPicture* Page(std::string_view windows_path, int topic);
  // The logo is decoded on every call (logo mode); Logo() without a path
  // is the kept one, for repainting.
  const KeptPicture* Logo(std::string_view windows_path);
  const KeptPicture* Logo() const;

  // The topic decoded last; the viewer starts with 1 and shows 0, so that
  // its first showing decodes.
  void SetLastDecodedTopic(int topic) { last_topic_ = topic; }
  int last_decoded_topic() const { return last_topic_; }
  // Decodings attempted (files opened), for the tests.
  int page_decodes() const { return page_decodes_; }
  int logo_decodes() const { return logo_decodes_; }

  // Frees both pictures (the main window's end).
  void Free();

 private:
  bool Decode(std::string_view windows_path, KeptPicture& into, int& decodes);

  ErrorSink errors_;
  KeptPicture page_;
  KeptPicture logo_;
  int last_topic_ = -1;
  int page_decodes_ = 0;
  int logo_decodes_ = 0;
};

}  // namespace zvrx::help
