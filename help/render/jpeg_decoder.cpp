#include "help/render/jpeg_decoder.h"

#include <csetjmp>
#include <cstring>
#include <memory>
#include <span>

// jpeglib.h needs the stdio declarations before it.
#include <jpeglib.h>
#include <jerror.h>

#include "help/render/bitmap_image.h"

namespace zvrx::help {

namespace {

// The additional message table (codes 1000 to 1043): the messages of the
// picture-conversion tools that come with the library. Only 1005 can arise
// in the viewer; the others keep their codes so that a message is never
// shown under another's number.
const char* const kAddonMessages[] = {
    "Bogus message code %d",                                        // 1000
    "Sorry, BMP input is not supported here",                       // 1001
    "Unsupported BMP colormap format",                              // 1002
    "Only 8- and 24-bit BMP files are supported",                   // 1003
    "Invalid BMP file: bad header length",                          // 1004
    kBmpOutputMessage,                                              // 1005
    "BMP output must be grayscale or RGB, not CMYK",                // 1006
    "Sorry, compressed BMPs not yet supported",                     // 1007
    "Not a BMP file - does not start with BM",                      // 1008
    "%ux%u 24-bit BMP image",                                       // 1009
    "%ux%u 8-bit colormapped BMP image",                            // 1010
    "%ux%u 24-bit OS2 BMP image",                                   // 1011
    "%ux%u 8-bit colormapped OS2 BMP image",                        // 1012
    "GIF output got confused",                                      // 1013
    "Bogus GIF codesize %d",                                        // 1014
    "GIF output must be grayscale or RGB",                          // 1015
    "Too few images in GIF file",                                   // 1016
    "Not a GIF file",                                               // 1017
    "%ux%ux%d GIF image",                                           // 1018
    "Warning: unexpected GIF version number '%c%c%c'",              // 1019
    "Ignoring GIF extension block of type 0x%02x",                  // 1020
    "Caution: nonsquare pixels in input",                           // 1021
    "Corrupt data in GIF file",                                     // 1022
    "Bogus char 0x%02x in GIF file, ignoring",                      // 1023
    "Premature end of GIF image",                                   // 1024
    "Ran out of GIF bits",                                          // 1025
    "PPM output must be grayscale or RGB",                          // 1026
    "Nonnumeric data in PPM file",                                  // 1027
    "Not a PPM/PGM file",                                           // 1028
    "%ux%u PGM image",                                              // 1029
    "%ux%u text PGM image",                                         // 1030
    "%ux%u PPM image",                                              // 1031
    "%ux%u text PPM image",                                         // 1032
    "Unsupported Targa colormap format",                            // 1033
    "Invalid or unsupported Targa file",                            // 1034
    "Targa output must be grayscale or RGB",                        // 1035
    "%ux%u RGB Targa image",                                        // 1036
    "%ux%u grayscale Targa image",                                  // 1037
    "%ux%u colormapped Targa image",                                // 1038
    "Color map file is invalid or of unsupported format",           // 1039
    "Output file format cannot handle %d colormap entries",         // 1040
    "ungetc failed",                                                // 1041
    "Unrecognized input file format --- perhaps you need -targa",   // 1042
    "Unsupported output file format",                               // 1043
};
constexpr int kFirstAddonMessage = 1000;
constexpr int kLastAddonMessage = 1043;
static_assert(sizeof(kAddonMessages) / sizeof(kAddonMessages[0]) ==
              kLastAddonMessage - kFirstAddonMessage + 1);

// The standard error manager with a way back instead of exit().
struct ErrorManager {
  jpeg_error_mgr standard;
  std::jmp_buf back;
  char message[JMSG_LENGTH_MAX];
  int warnings;
};

[[noreturn]] void LeaveDecoding(j_common_ptr cinfo) {
  auto* errors = reinterpret_cast<ErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, errors->message);
  std::longjmp(errors->back, 1);
}

// Warnings are not shown; trace messages never arise (trace level 0).
void CountWarning(j_common_ptr cinfo, int level) {
  if (level < 0) reinterpret_cast<ErrorManager*>(cinfo->err)->warnings++;
}

constexpr char kTooLarge[] = "Picture of %ux%u pixels is larger than the viewer takes (%dx%d)";

int NextMarkerByte(j_decompress_ptr cinfo) {
  jpeg_source_mgr* source = cinfo->src;
  if (source->bytes_in_buffer == 0 && !(*source->fill_input_buffer)(cinfo)) {
    ERREXIT(cinfo, JERR_CANT_SUSPEND);
  }
  source->bytes_in_buffer--;
  return GETJOCTET(*source->next_input_byte++);
}

// Comment and APP12 markers: their length, then their content skipped.
boolean SkipMarker(j_decompress_ptr cinfo) {
  long length = NextMarkerByte(cinfo) << 8;
  length += NextMarkerByte(cinfo);
  length -= 2;
  if (length > 0) (*cinfo->src->skip_input_data)(cinfo, length);
  return TRUE;
}

// Everything a decoding touches, in memory that a jump back leaves alone
// (locals changed between setjmp and longjmp would be indeterminate).
struct Decoding {
  jpeg_decompress_struct cinfo;
  ErrorManager errors;
  std::vector<uint8_t> picture;
};

// Fills `decoding.picture`; false, with the message set, for a picture
// the viewer refuses without libjpeg having found fault with it.
bool Decode(std::FILE* file, Decoding& decoding) {
  jpeg_decompress_struct& cinfo = decoding.cinfo;
  jpeg_create_decompress(&cinfo);
  jpeg_set_marker_processor(&cinfo, JPEG_COM, SkipMarker);
  jpeg_set_marker_processor(&cinfo, JPEG_APP0 + 12, SkipMarker);
  jpeg_stdio_src(&cinfo, file);
  jpeg_read_header(&cinfo, TRUE);
  if (cinfo.out_color_space != JCS_GRAYSCALE && cinfo.out_color_space != JCS_RGB) {
    cinfo.err->msg_code = kBmpOutputMessageCode;
    (*cinfo.err->error_exit)(reinterpret_cast<j_common_ptr>(&cinfo));
  }
  // Refused before start: for a huge progressive picture libjpeg would
  // allocate its whole coefficient buffer there.
  if (cinfo.image_width > static_cast<JDIMENSION>(kMaxPictureSide) ||
      cinfo.image_height > static_cast<JDIMENSION>(kMaxPictureSide)) {
    std::snprintf(decoding.errors.message, sizeof decoding.errors.message, kTooLarge,
                  cinfo.image_width, cinfo.image_height, kMaxPictureSide, kMaxPictureSide);
    return false;
  }
  jpeg_start_decompress(&cinfo);

  PictureShape shape;
  shape.width = static_cast<int>(cinfo.output_width);
  shape.height = static_cast<int>(cinfo.output_height);
  shape.grey = cinfo.output_components == 1;
  shape.density_unit = cinfo.density_unit;
  shape.density_x = cinfo.X_density;
  shape.density_y = cinfo.Y_density;
  const size_t bytes = FileImageBytes(shape);
  if (bytes == 0) {
    std::snprintf(decoding.errors.message, sizeof decoding.errors.message, kTooLarge,
                  cinfo.output_width, cinfo.output_height, kMaxPictureSide, kMaxPictureSide);
    return false;
  }
  // The picture memory is sized from the header and zero-filled, so the
  // fill bytes of every row are written by being left alone.
  decoding.picture.assign(bytes, 0);
  const JDIMENSION row_samples = cinfo.output_width * cinfo.output_components;
  JSAMPARRAY row = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo),
                                              JPOOL_IMAGE, row_samples, 1);
  while (cinfo.output_scanline < cinfo.output_height) {
    const int at = static_cast<int>(cinfo.output_scanline);
    if (jpeg_read_scanlines(&cinfo, row, 1) != 1) break;
    StoreScanline(shape, at, std::span<const uint8_t>(row[0], row_samples), decoding.picture);
  }
  WriteBitmapHeaders(shape, decoding.picture);
  jpeg_finish_decompress(&cinfo);
  return true;
}

}  // namespace

DecodeOutcome DecodeJpegStream(std::FILE* file, std::vector<uint8_t>& image) {
  DecodeOutcome outcome;
  const auto decoding = std::make_unique<Decoding>();
  std::memset(&decoding->cinfo, 0, sizeof decoding->cinfo);
  ErrorManager& errors = decoding->errors;
  errors.message[0] = '\0';
  errors.warnings = 0;
  decoding->cinfo.err = jpeg_std_error(&errors.standard);
  errors.standard.error_exit = LeaveDecoding;
  errors.standard.emit_message = CountWarning;
  errors.standard.addon_message_table = kAddonMessages;
  errors.standard.first_addon_message = kFirstAddonMessage;
  errors.standard.last_addon_message = kLastAddonMessage;

  volatile bool decoded = false;
  if (setjmp(errors.back) == 0) {
    decoded = Decode(file, *decoding);
  }
  jpeg_destroy_decompress(&decoding->cinfo);
  outcome.warnings = errors.warnings;
  if (!decoded) {
    outcome.message = errors.message;
    return outcome;
  }
  image.swap(decoding->picture);
  outcome.status = DecodeStatus::kDecoded;
  return outcome;
}

DecodeOutcome DecodeJpegBytes(const uint8_t* data, size_t size, std::vector<uint8_t>& image) {
  // fmemopen refuses an empty buffer; an empty file is read the same way.
  std::FILE* file = size == 0 ? std::tmpfile()
                              : fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (file == nullptr) {
    DecodeOutcome outcome;
    outcome.message = "cannot read the picture";
    return outcome;
  }
  DecodeOutcome outcome = DecodeJpegStream(file, image);
  std::fclose(file);
  return outcome;
}

}  // namespace zvrx::help
