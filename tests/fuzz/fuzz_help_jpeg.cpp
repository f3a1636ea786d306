// The help viewer's picture decoding: any bytes give a bitmap image whose
// headers agree with its size, or a refusal with a message; never a crash,
// an exit or a read or write past the picture memory.
//
// libjpeg itself is not instrumented, so coverage alone would rarely lead
// past its header checks: an input whose first byte is odd is instead a
// list of patches (offset, byte) to one of a few valid pictures made here,
// which reaches the scans, the markers and the output with damage in them.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "help/render/bitmap_image.h"
#include "help/render/jpeg_decoder.h"
#include "tests/support/jpeg_maker.h"

namespace {

std::vector<uint8_t> Encode(int width, int height, int components, bool progressive,
                            bool comment) {
  zvrx::test::JpegRecipe recipe;
  recipe.width = width;
  recipe.height = height;
  recipe.components = components;
  recipe.progressive = progressive;
  recipe.density_unit = 2;
  recipe.density_x = recipe.density_y = 40;
  if (comment) recipe.comments = recipe.app12 = {"help page"};
  return zvrx::test::MakeJpeg(recipe);
}

const std::vector<std::vector<uint8_t>>& Seeds() {
  static const std::vector<std::vector<uint8_t>> seeds = {
      Encode(16, 16, 3, false, true), Encode(33, 9, 1, false, false),
      Encode(1, 20, 3, true, false), Encode(24, 24, 1, true, true)};
  return seeds;
}

void Check(const uint8_t* data, size_t size) {
  using namespace zvrx::help;
  std::vector<uint8_t> image;
  const DecodeOutcome outcome = DecodeJpegBytes(data, size, image);
  if (outcome.status == DecodeStatus::kRefused) {
    if (outcome.message.empty() || !image.empty()) std::abort();
    return;
  }
  DeviceBitmap bitmap;
  if (!ReadDeviceBitmap(image, bitmap)) std::abort();
  if (image.size() > kMaxPictureBytes) std::abort();
  if (image.size() != bitmap.bits_offset + bitmap.row_bytes * bitmap.height) std::abort();
  // Every fill byte at the end of a row is zero.
  const size_t used = static_cast<size_t>(bitmap.width) * bitmap.bits_per_pixel / 8;
  for (int y = 0; y < bitmap.height; ++y) {
    const size_t row = bitmap.bits_offset + bitmap.row_bytes * y;
    for (size_t i = used; i < bitmap.row_bytes; ++i) {
      if (image[row + i] != 0) std::abort();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size >= 2 && (data[0] & 1) != 0) {
    std::vector<uint8_t> picture = Seeds()[(data[0] >> 1) % Seeds().size()];
    // Three bytes a patch: a 16-bit offset and the new byte; an offset past
    // the end cuts the picture there.
    for (size_t at = 1; at + 3 <= size; at += 3) {
      const size_t offset = static_cast<size_t>(data[at]) << 8 | data[at + 1];
      if (offset < picture.size()) {
        picture[offset] = data[at + 2];
      } else if (data[at + 2] == 0) {
        picture.resize(picture.size() / 2);
      }
    }
    Check(picture.data(), picture.size());
    return 0;
  }
  Check(data, size);
  return 0;
}
