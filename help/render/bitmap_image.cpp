#include "help/render/bitmap_image.h"

#include <algorithm>

#include "platform/little_endian.h"

namespace zvrx::help {

namespace {

// JFIF density unit 2: dots per centimetre; the bitmap counts per metre.
constexpr int kDotsPerCentimetre = 2;

}  // namespace

size_t PaddedRowBytes(int width, bool grey) {
  const size_t bytes = static_cast<size_t>(width) * (grey ? 1 : 3);
  return (bytes + 3) / 4 * 4;
}

size_t HeaderBytes(bool grey) {
  return kFileHeaderSize + kInfoHeaderSize + (grey ? 4 * kGreyTableEntries : 0);
}

bool WithinLimits(const PictureShape& shape) {
  if (shape.width <= 0 || shape.height <= 0) return false;
  if (shape.width > kMaxPictureSide || shape.height > kMaxPictureSide) return false;
  const size_t bytes =
      HeaderBytes(shape.grey) + PaddedRowBytes(shape.width, shape.grey) * shape.height;
  return bytes <= kMaxPictureBytes;
}

size_t FileImageBytes(const PictureShape& shape) {
  if (!WithinLimits(shape)) return 0;
  return HeaderBytes(shape.grey) + PaddedRowBytes(shape.width, shape.grey) * shape.height;
}

void WriteBitmapHeaders(const PictureShape& shape, std::span<uint8_t> image) {
  const size_t header = HeaderBytes(shape.grey);
  const size_t total = header + PaddedRowBytes(shape.width, shape.grey) * shape.height;
  std::fill(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(header), uint8_t{0});
  image[0] = 'B';
  image[1] = 'M';
  platform::WriteLe32(image, 2, static_cast<uint32_t>(total));
  platform::WriteLe32(image, 10, static_cast<uint32_t>(header));
  platform::WriteLe32(image, 14, kInfoHeaderSize);
  platform::WriteLe32(image, 18, static_cast<uint32_t>(shape.width));
  platform::WriteLe32(image, 22, static_cast<uint32_t>(shape.height));
  platform::WriteLe16(image, 26, 1);
  platform::WriteLe16(image, 28, shape.grey ? 8 : 24);
  if (shape.density_unit == kDotsPerCentimetre) {
    platform::WriteLe32(image, 38, static_cast<uint32_t>(shape.density_x * 100));
    platform::WriteLe32(image, 42, static_cast<uint32_t>(shape.density_y * 100));
  }
  if (shape.grey) {
    platform::WriteLe32(image, 46, kGreyTableEntries);
    for (int i = 0; i < kGreyTableEntries; ++i) {
      const size_t at = kFileHeaderSize + kInfoHeaderSize + 4 * static_cast<size_t>(i);
      image[at] = image[at + 1] = image[at + 2] = static_cast<uint8_t>(i);
      image[at + 3] = 0;
    }
  }
}

void StoreScanline(const PictureShape& shape, int row, std::span<const uint8_t> samples,
                   std::span<uint8_t> image) {
  const size_t stride = PaddedRowBytes(shape.width, shape.grey);
  const size_t at = HeaderBytes(shape.grey) + stride * static_cast<size_t>(shape.height - 1 - row);
  uint8_t* out = image.data() + at;
  if (shape.grey) {
    std::copy_n(samples.data(), shape.width, out);
    return;
  }
  for (int x = 0; x < shape.width; ++x) {
    out[3 * x] = samples[3 * x + 2];
    out[3 * x + 1] = samples[3 * x + 1];
    out[3 * x + 2] = samples[3 * x];
  }
}

int ColourTableEntries(int info_header_size, int entries_field, int bits_per_pixel) {
  if (info_header_size == static_cast<int>(kInfoHeaderSize) && entries_field != 0) {
    return entries_field;
  }
  switch (bits_per_pixel) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
  }
}

bool ReadDeviceBitmap(std::span<const uint8_t> image, DeviceBitmap& bitmap) {
  if (image.size() < kFileHeaderSize + kInfoHeaderSize) return false;
  if (image[0] != 'B' || image[1] != 'M') return false;
  const auto info_size = static_cast<int>(platform::ReadLe32(image, 14));
  const auto width = static_cast<int32_t>(platform::ReadLe32(image, 18));
  const auto height = static_cast<int32_t>(platform::ReadLe32(image, 22));
  const int bits = static_cast<int>(platform::ReadLe16(image, 28));
  const int entries_field = static_cast<int>(platform::ReadLe32(image, 46));
  if (info_size != static_cast<int>(kInfoHeaderSize)) return false;
  if (width <= 0 || height <= 0 || width > kMaxPictureSide || height > kMaxPictureSide) return false;
  // The decoder writes only these two depths; anything else was not ours.
  if (bits != 8 && bits != 24) return false;
  const int entries = ColourTableEntries(info_size, entries_field, bits);
  if (entries < 0 || entries > kGreyTableEntries) return false;
  const size_t table_at = kFileHeaderSize + kInfoHeaderSize;
  const size_t bits_at = table_at + 4 * static_cast<size_t>(entries);
  const size_t row_bytes = (static_cast<size_t>(width) * bits / 8 + 3) / 4 * 4;
  if (image.size() < bits_at || (image.size() - bits_at) / row_bytes < static_cast<size_t>(height)) {
    return false;
  }
  bitmap.width = width;
  bitmap.height = height;
  bitmap.bits_per_pixel = bits;
  bitmap.palette.clear();
  for (int i = 0; i < entries; ++i) {
    const size_t at = table_at + 4 * static_cast<size_t>(i);
    bitmap.palette.push_back({image[at + 2], image[at + 1], image[at]});
  }
  bitmap.bits_offset = bits_at;
  bitmap.row_bytes = row_bytes;
  return true;
}

PagePlacement PlacePage(int base_x, int base_y, int width, int height) {
  // Dialog units are scaled, not first cut to whole pixels per unit: with
  // base units of 8 x 16 both come to the same, but with a dialog font of
  // 6 x 12 cutting would shrink the area to two thirds and pin the page
  // to the control's left edge.
  PagePlacement place;
  place.x = (214 * base_x / 4 - width) * 104 / 200;
  place.y = (154 * base_y / 8 - height) / 2;
  place.strip_width = 40;
  place.strip_height = 155 * base_y / 8;
  return place;
}

}  // namespace zvrx::help
