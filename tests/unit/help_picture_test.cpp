// The help pictures from JPEG file to bitmap image: every byte of the image
// against a reference decoding of small JPEGs made here, the refusals that
// keep what was shown, the bitmap read back for drawing, where a page is
// drawn, and when a page is decoded at all.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "help/render/bitmap_image.h"
#include "help/render/jpeg_decoder.h"
#include "help/render/picture_renderer.h"
#include "platform/little_endian.h"
#include "tests/support/jpeg_maker.h"
#include "tests/support/temp_prefix.h"

namespace zvrx {
namespace {

using help::DecodeJpegBytes;
using help::DecodeStatus;
using test::JpegRecipe;

// A field beyond a short image throws (at) instead of being read.
uint32_t Field32(const std::vector<uint8_t>& image, size_t at) {
  (void)image.at(at + 3);
  return platform::ReadLe32(image, at);
}

uint16_t Field16(const std::vector<uint8_t>& image, size_t at) {
  (void)image.at(at + 1);
  return platform::ReadLe16(image, at);
}

JpegRecipe Recipe(int width, int height, int components) {
  JpegRecipe recipe;
  recipe.width = width;
  recipe.height = height;
  recipe.components = components;
  return recipe;
}

struct ImageCase {
  const char* name;
  JpegRecipe recipe;
  uint16_t bits;
  uint32_t entries;
  uint32_t row_bytes;
  uint32_t density;  // both density fields
};

JpegRecipe WithDensity(JpegRecipe recipe, int unit, int x, int y) {
  recipe.density_unit = unit;
  recipe.density_x = x;
  recipe.density_y = y;
  return recipe;
}

JpegRecipe Progressive(JpegRecipe recipe) {
  recipe.progressive = true;
  return recipe;
}

TEST(HelpPictureImage, EveryByteMatchesTheReferenceDecoding) {
  const ImageCase cases[] = {
      // A greyscale picture: 8 bits, a 256-entry grey table.
      {"grey", Recipe(8, 8, 1), 8, 256, 8, 0},
      // A colour picture: 24 bits, no table; 10 x 3 = 30 bytes fill to 32.
      {"colour", Recipe(10, 7, 3), 24, 0, 32, 0},
      // One pixel wide: 3 bytes of colour and 1 fill byte.
      {"colour 1 wide", Recipe(1, 5, 3), 24, 0, 4, 0},
      {"grey 1 wide", Recipe(1, 3, 1), 8, 256, 4, 0},
      {"grey 5 wide", Recipe(5, 2, 1), 8, 256, 8, 0},
      {"colour 4 wide", Recipe(4, 1, 3), 24, 0, 12, 0},
      // Dots per centimetre: density x 100 (dots per metre).
      {"per centimetre", WithDensity(Recipe(16, 16, 3), 2, 40, 40), 24, 0, 48, 4000},
      {"per centimetre grey", WithDensity(Recipe(9, 9, 1), 2, 40, 40), 8, 256, 12, 4000},
      // Dots per inch and no unit: 0.
      {"per inch", WithDensity(Recipe(16, 16, 3), 1, 300, 300), 24, 0, 48, 0},
      {"no unit", WithDensity(Recipe(16, 16, 3), 0, 1, 1), 24, 0, 48, 0},
      // A progressive picture comes out the same way.
      {"progressive", Progressive(Recipe(33, 17, 3)), 24, 0, 100, 0},
      {"larger page", Recipe(430, 330, 3), 24, 0, 1292, 0},
  };
  for (const ImageCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<uint8_t> jpeg = test::MakeJpeg(c.recipe);
    test::ReferencePixels pixels;
    ASSERT_TRUE(test::ReferenceDecode(jpeg, pixels));
    std::vector<uint8_t> image;
    const help::DecodeOutcome outcome = DecodeJpegBytes(jpeg.data(), jpeg.size(), image);
    ASSERT_EQ(outcome.status, DecodeStatus::kDecoded) << outcome.message;
    EXPECT_EQ(outcome.warnings, 0);
    const std::vector<uint8_t> expected = test::ExpectedBitmapImage(
        pixels, c.recipe.density_unit, c.recipe.density_x, c.recipe.density_y);
    ASSERT_EQ(image.size(), expected.size());
    EXPECT_TRUE(image == expected);
    // The fields by number, against the table of the image.
    EXPECT_EQ(Field16(image, 28), c.bits);
    EXPECT_EQ(Field32(image, 46), c.entries);
    EXPECT_EQ(Field32(image, 10), 54 + 4 * c.entries);
    EXPECT_EQ(Field32(image, 2), image.size());
    EXPECT_EQ(Field32(image, 38), c.density);
    EXPECT_EQ(Field32(image, 42), c.density);
    EXPECT_EQ((image.size() - Field32(image, 10)) / c.recipe.height, c.row_bytes);
  }
}

TEST(HelpPictureImage, CommentAndApp12MarkersDecodeTheSameAsWithout) {
  const JpegRecipe plain = Recipe(24, 12, 3);
  JpegRecipe marked = plain;
  marked.comments = {"Mail Zevrox help page", std::string(3000, 'c'), ""};
  marked.app12 = {"Ducky\x01\x02", std::string(70000 - 70000 + 500, '\xff')};
  JpegRecipe grey_plain = Recipe(7, 7, 1);
  JpegRecipe grey_marked = grey_plain;
  grey_marked.comments = {"\x01"};
  grey_marked.app12 = {""};
  const std::pair<JpegRecipe, JpegRecipe> pairs[] = {{plain, marked}, {grey_plain, grey_marked}};
  for (const auto& [without, with] : pairs) {
    const std::vector<uint8_t> a = test::MakeJpeg(without);
    const std::vector<uint8_t> b = test::MakeJpeg(with);
    ASSERT_GT(b.size(), a.size());
    std::vector<uint8_t> image_a, image_b;
    ASSERT_EQ(DecodeJpegBytes(a.data(), a.size(), image_a).status, DecodeStatus::kDecoded);
    const help::DecodeOutcome outcome = DecodeJpegBytes(b.data(), b.size(), image_b);
    ASSERT_EQ(outcome.status, DecodeStatus::kDecoded) << outcome.message;
    EXPECT_TRUE(image_a == image_b);
  }
}

// A stream whose APP12 length runs past its end: the skip meets the end of
// the file, where libjpeg's source supplies an end marker with a warning.
std::vector<uint8_t> App12PastTheEnd() {
  std::vector<uint8_t> bytes = {0xFF, 0xD8, 0xFF, 0xEC, 0x7F, 0xFF, 'x', 'y'};
  return bytes;
}

struct RefusalCase {
  const char* name;
  std::vector<uint8_t> bytes;
  const char* message;  // a part of libjpeg's (or the viewer's) message
};

TEST(HelpPictureImage, UnreadablePicturesAreRefusedAndTheImageStays) {
  const std::vector<uint8_t> good = test::MakeJpeg(Recipe(40, 30, 3));
  const std::vector<uint8_t> header_only(good.begin(), good.begin() + 100);
  const std::vector<uint8_t> two_bytes(good.begin(), good.begin() + 2);
  JpegRecipe wide = Recipe(help::kMaxPictureSide + 1, 8, 3);
  JpegRecipe tall = Recipe(8, help::kMaxPictureSide + 1, 1);
  // Within the side limit, over the byte limit (2000 x 1500 x 3 > 8 MiB).
  JpegRecipe heavy = Recipe(2000, 1500, 3);
  heavy.quality = 20;
  const RefusalCase cases[] = {
      {"not a JPEG", {'B', 'M', 0, 0, 0, 0}, "Not a JPEG file"},
      {"text", std::vector<uint8_t>(std::begin("hello world"), std::end("hello world")),
       "Not a JPEG file"},
      {"empty", {}, "Empty input file"},
      {"start marker only", two_bytes, ""},
      {"cut inside the header", header_only, ""},
      {"app12 past the end", App12PastTheEnd(), ""},
      {"CMYK", test::MakeJpeg(Recipe(8, 8, 4)), help::kBmpOutputMessage},
      {"too wide", test::MakeJpeg(wide), "larger than the viewer takes"},
      {"too tall", test::MakeJpeg(tall), "larger than the viewer takes"},
      {"too many bytes", test::MakeJpeg(heavy), "larger than the viewer takes"},
  };
  for (const RefusalCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> image = {1, 2, 3};
    const help::DecodeOutcome outcome = DecodeJpegBytes(c.bytes.data(), c.bytes.size(), image);
    EXPECT_EQ(outcome.status, DecodeStatus::kRefused);
    EXPECT_FALSE(outcome.message.empty());
    EXPECT_NE(outcome.message.find(c.message), std::string::npos) << outcome.message;
    EXPECT_EQ(image, (std::vector<uint8_t>{1, 2, 3}));
  }
}

TEST(HelpPictureImage, ScanDataCutShortIsSteppedOverWithAWarning) {
  // libjpeg ends a picture whose scan data stops early as if it had ended
  // there: a warning, not a fatal error; the image keeps its full size.
  const std::vector<uint8_t> good = test::MakeJpeg(Recipe(64, 64, 3));
  const std::vector<uint8_t> cut(good.begin(), good.begin() + good.size() * 2 / 3);
  std::vector<uint8_t> image;
  const help::DecodeOutcome outcome = DecodeJpegBytes(cut.data(), cut.size(), image);
  ASSERT_EQ(outcome.status, DecodeStatus::kDecoded) << outcome.message;
  EXPECT_GE(outcome.warnings, 1);
  EXPECT_EQ(image.size(), 54u + 64 * 192);
}

TEST(HelpPictureBitmap, ReadsTheBitmapBackOutOfTheImage) {
  for (int components : {1, 3}) {
    SCOPED_TRACE(components);
    const std::vector<uint8_t> jpeg = test::MakeJpeg(Recipe(5, 4, components));
    std::vector<uint8_t> image;
    ASSERT_EQ(DecodeJpegBytes(jpeg.data(), jpeg.size(), image).status, DecodeStatus::kDecoded);
    help::DeviceBitmap bitmap;
    ASSERT_TRUE(help::ReadDeviceBitmap(image, bitmap));
    EXPECT_EQ(bitmap.width, 5);
    EXPECT_EQ(bitmap.height, 4);
    EXPECT_EQ(bitmap.bits_per_pixel, components == 1 ? 8 : 24);
    EXPECT_EQ(bitmap.row_bytes, components == 1 ? 8u : 16u);
    if (components == 1) {
      // The palette takes red, green, blue from the table's blue, green, red.
      ASSERT_EQ(bitmap.palette.size(), 256u);
      for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(bitmap.palette[i], (std::array<uint8_t, 3>{uint8_t(i), uint8_t(i), uint8_t(i)}));
      }
      EXPECT_EQ(bitmap.bits_offset, 54u + 1024);
    } else {
      EXPECT_TRUE(bitmap.palette.empty());
      EXPECT_EQ(bitmap.bits_offset, 54u);
    }
    // An image shorter than its headers claim is never read past its end.
    std::vector<uint8_t> cut = image;
    cut.pop_back();
    EXPECT_FALSE(help::ReadDeviceBitmap(cut, bitmap));
    std::vector<uint8_t> headers_only(image.begin(), image.begin() + 53);
    EXPECT_FALSE(help::ReadDeviceBitmap(headers_only, bitmap));
  }
}

TEST(HelpPictureBitmap, ColourTableEntriesByHeaderAndDepth) {
  struct Case {
    int header, field, bits, entries;
  } cases[] = {
      {40, 256, 8, 256}, {40, 16, 8, 16},  // the field when it is not 0
      {40, 0, 1, 2},     {40, 0, 4, 16},  {40, 0, 8, 256},
      {40, 0, 24, 0},    {40, 0, 16, 0},  {40, 0, 32, 0},
      {12, 5, 8, 256},   // another header size: the field is not read
  };
  for (const Case& c : cases) {
    EXPECT_EQ(help::ColourTableEntries(c.header, c.field, c.bits), c.entries)
        << c.header << " " << c.field << " " << c.bits;
  }
}

TEST(HelpPictureBitmap, PageSitsRightOfTheMiddleBesideAWhiteStrip) {
  struct Case {
    int base_x, base_y, width, height;
    int x, y, strip_height;
  } cases[] = {
      // Base units 8 x 16 (2 pixels a unit): (428 - 300) x 104 / 200 = 66.56,
      // (308 - 200) / 2.
      {8, 16, 300, 200, 66, 54, 310},
      // Other base units scale the area without cutting to whole pixels per
      // unit first: 214 x 11 / 4 = 588, 154 x 23 / 8 = 442, 155 x 23 / 8 = 445.
      {11, 23, 300, 200, 149, 121, 445},
      // The dialog font's units: 321 x 250 pixels of area.
      {6, 13, 214, 154, 55, 48, 251},
      {7, 14, 1, 1, 193, 134, 271},
      // Larger than the area: truncation toward zero, as C divides.
      {8, 16, 500, 401, -37, -46, 310},
  };
  for (const Case& c : cases) {
    const help::PagePlacement place = help::PlacePage(c.base_x, c.base_y, c.width, c.height);
    EXPECT_EQ(place.x, c.x);
    EXPECT_EQ(place.y, c.y);
    EXPECT_EQ(place.strip_width, 40);
    EXPECT_EQ(place.strip_height, c.strip_height);
  }
}

class HelpPictureRenderer : public ::testing::Test {
 protected:
  void Put(const std::string& name, const std::vector<uint8_t>& bytes) {
    test::WriteHostFile(prefix_.InstallRootHost() + "/Help/" + name,
                        std::string(bytes.begin(), bytes.end()));
  }
  static std::string Path(const std::string& name) {
    return "C:\\Program Files\\ZVRX\\\\Help\\" + name;
  }

  test::TempPrefix prefix_;
  std::vector<std::string> errors_;
  help::PictureRenderer renderer_{[this](const std::string& line) { errors_.push_back(line); }};
};

TEST_F(HelpPictureRenderer, APageIsDecodedOnlyWhenTheTopicChanges) {
  Put("Zvrxhelp1", test::MakeJpeg(Recipe(20, 10, 3)));
  Put("Zvrxhelp2", test::MakeJpeg(Recipe(12, 6, 1)));
  renderer_.SetLastDecodedTopic(1);
  const help::KeptPicture* page = renderer_.Page(Path("Zvrxhelp1"), 0);
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(page->bitmap.width, 20);
  EXPECT_EQ(renderer_.page_decodes(), 1);
  // The same topic again, as a repaint or a re-selection: nothing decoded.
  for (int i = 0; i < 3; ++i) ASSERT_NE(renderer_.Page(Path("Zvrxhelp1"), 0), nullptr);
  EXPECT_EQ(renderer_.page_decodes(), 1);
  page = renderer_.Page(Path("Zvrxhelp2"), 1);
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(page->bitmap.bits_per_pixel, 8);
  EXPECT_EQ(renderer_.page_decodes(), 2);
  EXPECT_TRUE(errors_.empty());
}

TEST_F(HelpPictureRenderer, MissingOrCorruptFilesKeepThePageShown) {
  Put("Zvrxhelp1", test::MakeJpeg(Recipe(20, 10, 3)));
  Put("Zvrxhelp3", {'n', 'o', 't', ' ', 'j', 'p', 'e', 'g'});
  ASSERT_NE(renderer_.Page(Path("Zvrxhelp1"), 0), nullptr);
  const std::vector<uint8_t> shown = renderer_.Page(Path("Zvrxhelp1"), 0)->image;
  // Missing: nothing opened, nothing said.
  const help::KeptPicture* page = renderer_.Page(Path("Zvrxhelp2"), 1);
  ASSERT_NE(page, nullptr);
  EXPECT_TRUE(page->image == shown);
  EXPECT_TRUE(errors_.empty());
  // Not a JPEG: libjpeg's message on the error stream, the page stays.
  page = renderer_.Page(Path("Zvrxhelp3"), 2);
  ASSERT_NE(page, nullptr);
  EXPECT_TRUE(page->image == shown);
  ASSERT_EQ(errors_.size(), 1u);
  EXPECT_NE(errors_[0].find("Zvrxhelp3"), std::string::npos);
  EXPECT_NE(errors_[0].find("Not a JPEG file"), std::string::npos) << errors_[0];
  EXPECT_EQ(renderer_.last_decoded_topic(), 2);
}

TEST_F(HelpPictureRenderer, TheLogoKeepsItsOwnPicture) {
  Put("Zvrxhelp1", test::MakeJpeg(Recipe(30, 20, 3)));
  Put("ZvrxLogo", test::MakeJpeg(Recipe(6, 6, 1)));
  ASSERT_NE(renderer_.Logo(Path("ZvrxLogo")), nullptr);
  ASSERT_NE(renderer_.Page(Path("Zvrxhelp1"), 0), nullptr);
  ASSERT_NE(renderer_.Logo(Path("ZvrxLogo")), nullptr);
  EXPECT_EQ(renderer_.Page(Path("Zvrxhelp1"), 0)->bitmap.width, 30);
  EXPECT_EQ(renderer_.Logo()->bitmap.width, 6);
  EXPECT_EQ(renderer_.logo_decodes(), 2);
  EXPECT_EQ(renderer_.page_decodes(), 1);
  renderer_.Free();
  EXPECT_EQ(renderer_.Logo(), nullptr);
}

TEST_F(HelpPictureRenderer, WithoutAnyPictureThereIsNothingToDraw) {
  EXPECT_EQ(renderer_.Page(Path("Zvrxhelp1"), 0), nullptr);
  EXPECT_EQ(renderer_.Logo(Path("ZvrxLogo")), nullptr);
  EXPECT_EQ(renderer_.page_decodes(), 0);
  EXPECT_TRUE(errors_.empty());
}

}  // namespace
}  // namespace zvrx
