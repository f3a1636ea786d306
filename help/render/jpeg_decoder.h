// Decodes a help picture with libjpeg into the bitmap file image of
// bitmap_image.h. libjpeg is driven in one fixed order and with its
// defaults: the standard error manager (with our message table for codes
// 1000 to 1043), a decompression object, a marker processor that skips
// comment and APP12 markers, the standard file source, the header (an
// image required), start, every scanline, finish, destroy.
//
// A fatal error of libjpeg does not end the program: the decoding is given
// up, the object destroyed, and the caller keeps what it had. Warnings are
// counted and not shown.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace zvrx::help {

enum class DecodeStatus {
  kDecoded,    // `image` holds the new picture
  kRefused,    // not a readable JPEG, not grey or RGB, or too large
};

struct DecodeOutcome {
  DecodeStatus status = DecodeStatus::kRefused;
  std::string message;  // libjpeg's message (or ours for a too large picture)
  int warnings = 0;     // corrupt data libjpeg stepped over
};

// The message of code 1005, the one of our table that can arise here.
inline constexpr int kBmpOutputMessageCode = 1005;
inline constexpr char kBmpOutputMessage[] = "BMP output must be grayscale or RGB";

// Reads the JPEG on `file` from its current position. `image` is replaced
// only when the whole picture decoded; on a refusal it stays untouched.
DecodeOutcome DecodeJpegStream(std::FILE* file, std::vector<uint8_t>& image);

// The same over bytes in memory (through a stdio stream on them, so that
// the same file source reads them): for the tests and the fuzzer.
DecodeOutcome DecodeJpegBytes(const uint8_t* data, size_t size, std::vector<uint8_t>& image);

}  // namespace zvrx::help
