#include "install/completion_sound.h"

#include <cmath>
#include <numbers>

#include "platform/sound.h"

namespace zvrx {

namespace {

// C major, up to the octave: done.
constexpr double kNotesHz[kCompletionNotes] = {523.25, 659.25, 783.99, 1046.50};
constexpr double kPeak = 90.0;  // of 127
constexpr double kDecayPerSecond = 4.0;
constexpr int kEdgeSamples = 110;  // 5 ms fades: no clicks between notes

}  // namespace

std::vector<uint8_t> CompletionSoundImage() {
  const int sample_bytes = kCompletionNoteSamples * kCompletionNotes;
  std::vector<uint8_t> image = platform::EightBitMonoWave(kCompletionSoundRate, sample_bytes);

  for (int note = 0; note < kCompletionNotes; ++note) {
    for (int i = 0; i < kCompletionNoteSamples; ++i) {
      const double t = static_cast<double>(i) / kCompletionSoundRate;
      double envelope = std::exp(-kDecayPerSecond * t);
      if (i < kEdgeSamples) envelope *= static_cast<double>(i) / kEdgeSamples;
      const int left = kCompletionNoteSamples - i;
      if (left < kEdgeSamples) envelope *= static_cast<double>(left) / kEdgeSamples;
      const double value = envelope * std::sin(2.0 * std::numbers::pi * kNotesHz[note] * t);
      // 8-bit PCM is unsigned with silence at 128.
      image[platform::kWaveHeaderSize + note * kCompletionNoteSamples + i] =
          static_cast<uint8_t>(std::lround(128.0 + kPeak * value));
    }
  }
  return image;
}

}  // namespace zvrx
