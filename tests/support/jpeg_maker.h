// Small JPEG pictures made in the tests with libjpeg's encoder, and a
// plain reference decoding of them, so that the viewer's bitmap images are
// checked against pixels the viewer's own code never touched.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zvrx::test {

struct JpegRecipe {
  int width = 8;
  int height = 8;
  int components = 3;      // 1 grey, 3 RGB, 4 CMYK
  int density_unit = 1;    // JFIF: 0 none, 1 per inch, 2 per centimetre
  int density_x = 72;
  int density_y = 72;
  bool progressive = false;
  std::vector<std::string> comments;  // COM markers
  std::vector<std::string> app12;     // APP12 markers
  int quality = 90;
};

// A picture with a pattern of its own (gradients and a few solid blocks).
std::vector<uint8_t> MakeJpeg(const JpegRecipe& recipe);

// Decodes with libjpeg's defaults into rows top to bottom, `components`
// samples per pixel (grey or RGB).
struct ReferencePixels {
  int width = 0, height = 0, components = 0;
  std::vector<uint8_t> samples;
};
bool ReferenceDecode(const std::vector<uint8_t>& jpeg, ReferencePixels& pixels);

// The bitmap file image these pixels make, written out field by field.
std::vector<uint8_t> ExpectedBitmapImage(const ReferencePixels& pixels, int density_unit,
                                         int density_x, int density_y);

}  // namespace zvrx::test
