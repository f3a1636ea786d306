#include "checker/core/arrival_sound.h"

#include <cmath>
#include <numbers>

#include "platform/sound.h"

namespace zvrx {

namespace {

// Two notes, a falling major third, each half of the image.
constexpr double kFirstNoteHz = 1318.51;   // E6
constexpr double kSecondNoteHz = 1046.50;  // C6
constexpr double kPeak = 96.0;             // of 127: loud enough, no clipping
constexpr double kDecayPerSecond = 3.2;
constexpr int kAttackSamples = 110;        // 5 ms: no click at the start
constexpr int kReleaseSamples = 330;       // 15 ms fade to silence at the end

double NoteSample(double hz, int i, int length) {
  const double t = static_cast<double>(i) / kArrivalSoundRate;
  double envelope = std::exp(-kDecayPerSecond * t);
  if (i < kAttackSamples) envelope *= static_cast<double>(i) / kAttackSamples;
  if (length - i < kReleaseSamples) envelope *= static_cast<double>(length - i) / kReleaseSamples;
  // A soft octave partial makes it a chime rather than a beep.
  const double phase = 2.0 * std::numbers::pi * hz * t;
  return envelope * (0.8 * std::sin(phase) + 0.2 * std::sin(2.0 * phase));
}

}  // namespace

std::vector<uint8_t> ArrivalSoundImage() {
  std::vector<uint8_t> image =
      platform::EightBitMonoWave(kArrivalSoundRate, kArrivalSoundSampleBytes);
  const int half = kArrivalSoundSampleBytes / 2;
  for (int i = 0; i < kArrivalSoundSampleBytes; ++i) {
    const double value = i < half ? NoteSample(kFirstNoteHz, i, half)
                                  : NoteSample(kSecondNoteHz, i - half, half);
    // 8-bit PCM is unsigned with silence at 128.
    image[platform::kWaveHeaderSize + i] =
        static_cast<uint8_t>(std::lround(128.0 + kPeak * value));
  }
  return image;
}

void PlayArrivalSound() {
  const std::vector<uint8_t> image = ArrivalSoundImage();
  platform::PlayWaveImage(image.data(), image.size());
}

}  // namespace zvrx
