// The bitmap file image the help pictures are decoded into, and what the
// viewer reads back out of it: a pure core without libjpeg or windows, so
// that every byte of the image is tested on its own.
//
//   "BM", file size, 0, header size        14-byte file header
//   40, width, height, 1, bits, 0, 0,      40-byte info header
//   density x, density y, entries, 0
//   entries x (blue, green, red, 0)        grey table, greyscale only
//   rows, bottom row first, each padded with zero bytes to 4
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace zvrx::help {

inline constexpr size_t kFileHeaderSize = 14;
inline constexpr size_t kInfoHeaderSize = 40;
inline constexpr int kGreyTableEntries = 256;

// The largest picture the viewer takes. The page area is about 430 x 330
// pixels; a picture several times over that is no help page, and its
// memory is refused before anything is allocated.
inline constexpr int kMaxPictureSide = 2048;
inline constexpr size_t kMaxPictureBytes = size_t{8} << 20;

// What the decoder knows of a picture once decompression has started.
struct PictureShape {
  int width = 0;
  int height = 0;
  bool grey = false;       // one component (8 bits) rather than three (24)
  int density_unit = 0;    // JFIF: 0 none, 1 per inch, 2 per centimetre
  int density_x = 0;
  int density_y = 0;
};

// Bytes of one pixel row, filled up to a multiple of 4.
size_t PaddedRowBytes(int width, bool grey);
// Offset of the first pixel row: 14 + 40 + 4 x table entries.
size_t HeaderBytes(bool grey);
// The whole file image; 0 when the shape is outside the limits above.
size_t FileImageBytes(const PictureShape& shape);
bool WithinLimits(const PictureShape& shape);

// Writes both headers and the grey table at the start of `image`, which
// must hold HeaderBytes(shape.grey) bytes.
void WriteBitmapHeaders(const PictureShape& shape, std::span<uint8_t> image);

// Stores one decoded scanline (`row` counts from the top) at its place in
// the bottom-up image: colour pixels from red-green-blue to blue-green-red,
// grey pixels as they are; the fill bytes stay zero.
void StoreScanline(const PictureShape& shape, int row, std::span<const uint8_t> samples,
                   std::span<uint8_t> image);

// The device-independent bitmap inside a file image (the image less its
// 14-byte file header), as the viewer hands it to the window layer.
struct DeviceBitmap {
  int width = 0;
  int height = 0;
  int bits_per_pixel = 0;
  // One entry per colour of the table (red, green, blue); empty without.
  std::vector<std::array<uint8_t, 3>> palette;
  size_t bits_offset = 0;  // from the start of the file image
  size_t row_bytes = 0;
};

// Reads the headers back. False for an image that is too short for what
// its headers claim, so a damaged image is never read past its end.
bool ReadDeviceBitmap(std::span<const uint8_t> file_image, DeviceBitmap& bitmap);

// Colour-table entries of an info header: its own count when not 0, else
// by bits per pixel (1: 2, 4: 16, 8: 256, otherwise none).
int ColourTableEntries(int info_header_size, int entries_field, int bits_per_pixel);

// Where a page is drawn in its picture control, in pixels, from the
// dialog base units: a white strip 40 pixels wide and 155 dialog units
// down the left edge, then the picture a little right of the middle of a
// 214 x 154 dialog-unit area (104/200 of the room left across, half of it
// down; divisions truncate toward zero).
struct PagePlacement {
  int x = 0, y = 0;
  int strip_width = 0, strip_height = 0;
};
PagePlacement PlacePage(int base_x, int base_y, int width, int height);

}  // namespace zvrx::help
