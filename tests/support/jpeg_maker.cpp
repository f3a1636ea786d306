#include "tests/support/jpeg_maker.h"

#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace zvrx::test {

std::vector<uint8_t> MakeJpeg(const JpegRecipe& recipe) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr errors;
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(recipe.width);
  cinfo.image_height = static_cast<JDIMENSION>(recipe.height);
  cinfo.input_components = recipe.components;
  cinfo.in_color_space = recipe.components == 1 ? JCS_GRAYSCALE
                         : recipe.components == 4 ? JCS_CMYK
                                                  : JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, recipe.quality, TRUE);
  if (recipe.progressive) jpeg_simple_progression(&cinfo);
  cinfo.density_unit = static_cast<UINT8>(recipe.density_unit);
  cinfo.X_density = static_cast<UINT16>(recipe.density_x);
  cinfo.Y_density = static_cast<UINT16>(recipe.density_y);
  jpeg_start_compress(&cinfo, TRUE);
  for (const std::string& text : recipe.comments) {
    jpeg_write_marker(&cinfo, JPEG_COM, reinterpret_cast<const JOCTET*>(text.data()),
                      static_cast<unsigned>(text.size()));
  }
  for (const std::string& text : recipe.app12) {
    jpeg_write_marker(&cinfo, JPEG_APP0 + 12, reinterpret_cast<const JOCTET*>(text.data()),
                      static_cast<unsigned>(text.size()));
  }
  std::vector<JSAMPLE> row(static_cast<size_t>(recipe.width) * recipe.components);
  while (cinfo.next_scanline < cinfo.image_height) {
    const int y = static_cast<int>(cinfo.next_scanline);
    for (int x = 0; x < recipe.width; ++x) {
      for (int c = 0; c < recipe.components; ++c) {
        // Blocks of solid colour beside gradients, so that both show up.
        const bool solid = (x / 16 + y / 16) % 2 == 0;
        const int value = solid ? (c * 90 + 40) % 256 : (x * 7 + y * 3 + c * 50) % 256;
        row[static_cast<size_t>(x) * recipe.components + c] = static_cast<JSAMPLE>(value);
      }
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  std::vector<uint8_t> bytes(buffer, buffer + size);
  jpeg_destroy_compress(&cinfo);
  std::free(buffer);
  return bytes;
}

bool ReferenceDecode(const std::vector<uint8_t>& jpeg, ReferencePixels& pixels) {
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr errors;
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
  if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_start_decompress(&cinfo);
  pixels.width = static_cast<int>(cinfo.output_width);
  pixels.height = static_cast<int>(cinfo.output_height);
  pixels.components = cinfo.output_components;
  const size_t stride = static_cast<size_t>(pixels.width) * pixels.components;
  pixels.samples.assign(stride * pixels.height, 0);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW rows[1] = {pixels.samples.data() + stride * cinfo.output_scanline};
    jpeg_read_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

namespace {

void Append32(std::vector<uint8_t>& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void Append16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

}  // namespace

std::vector<uint8_t> ExpectedBitmapImage(const ReferencePixels& pixels, int density_unit,
                                         int density_x, int density_y) {
  const bool grey = pixels.components == 1;
  const uint32_t entries = grey ? 256 : 0;
  const uint32_t header = 14 + 40 + 4 * entries;
  const uint32_t row = (static_cast<uint32_t>(pixels.width) * (grey ? 1 : 3) + 3) / 4 * 4;
  std::vector<uint8_t> out;
  out.push_back('B');
  out.push_back('M');
  Append32(out, header + row * static_cast<uint32_t>(pixels.height));
  Append32(out, 0);
  Append32(out, header);
  Append32(out, 40);
  Append32(out, static_cast<uint32_t>(pixels.width));
  Append32(out, static_cast<uint32_t>(pixels.height));
  Append16(out, 1);
  Append16(out, grey ? 8 : 24);
  Append32(out, 0);
  Append32(out, 0);
  Append32(out, density_unit == 2 ? static_cast<uint32_t>(density_x * 100) : 0);
  Append32(out, density_unit == 2 ? static_cast<uint32_t>(density_y * 100) : 0);
  Append32(out, entries);
  Append32(out, 0);
  for (uint32_t i = 0; i < entries; ++i) {
    out.insert(out.end(), {static_cast<uint8_t>(i), static_cast<uint8_t>(i),
                           static_cast<uint8_t>(i), 0});
  }
  for (int y = pixels.height - 1; y >= 0; --y) {
    const size_t start = out.size();
    for (int x = 0; x < pixels.width; ++x) {
      const uint8_t* p = &pixels.samples[(static_cast<size_t>(y) * pixels.width + x) *
                                         pixels.components];
      if (grey) {
        out.push_back(p[0]);
      } else {
        out.insert(out.end(), {p[2], p[1], p[0]});
      }
    }
    while (out.size() - start < row) out.push_back(0);
  }
  return out;
}

}  // namespace zvrx::test
