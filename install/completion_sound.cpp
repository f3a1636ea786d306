#include "install/completion_sound.h"

#include <cmath>
#include <cstring>
#include <numbers>

namespace zvrx {

namespace {

// C major, up to the octave: done.
constexpr double kNotesHz[kCompletionNotes] = {523.25, 659.25, 783.99, 1046.50};
constexpr double kPeak = 90.0;  // of 127
constexpr double kDecayPerSecond = 4.0;
constexpr int kEdgeSamples = 110;  // 5 ms fades: no clicks between notes
constexpr int kHeaderSize = 44;

void PutLe16(std::vector<uint8_t>& out, size_t at, uint16_t value) {
  out[at] = static_cast<uint8_t>(value);
  out[at + 1] = static_cast<uint8_t>(value >> 8);
}

void PutLe32(std::vector<uint8_t>& out, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

std::vector<uint8_t> CompletionSoundImage() {
  const int sample_bytes = kCompletionNoteSamples * kCompletionNotes;
  std::vector<uint8_t> image(kHeaderSize + sample_bytes);
  std::memcpy(&image[0], "RIFF", 4);
  PutLe32(image, 4, static_cast<uint32_t>(image.size() - 8));
  std::memcpy(&image[8], "WAVEfmt ", 8);
  PutLe32(image, 16, 16);
  PutLe16(image, 20, 1);  // PCM
  PutLe16(image, 22, 1);  // mono
  PutLe32(image, 24, kCompletionSoundRate);
  PutLe32(image, 28, kCompletionSoundRate);  // one byte a sample
  PutLe16(image, 32, 1);
  PutLe16(image, 34, 8);
  std::memcpy(&image[36], "data", 4);
  PutLe32(image, 40, static_cast<uint32_t>(sample_bytes));

  for (int note = 0; note < kCompletionNotes; ++note) {
    for (int i = 0; i < kCompletionNoteSamples; ++i) {
      const double t = static_cast<double>(i) / kCompletionSoundRate;
      double envelope = std::exp(-kDecayPerSecond * t);
      if (i < kEdgeSamples) envelope *= static_cast<double>(i) / kEdgeSamples;
      const int left = kCompletionNoteSamples - i;
      if (left < kEdgeSamples) envelope *= static_cast<double>(left) / kEdgeSamples;
      const double value = envelope * std::sin(2.0 * std::numbers::pi * kNotesHz[note] * t);
      // 8-bit PCM is unsigned with silence at 128.
      image[kHeaderSize + note * kCompletionNoteSamples + i] =
          static_cast<uint8_t>(std::lround(128.0 + kPeak * value));
    }
  }
  return image;
}

}  // namespace zvrx
