// Wave images: the 8-bit mono PCM images the programs make for their
// sounds, and synchronous playback of any PCM wave image through ALSA.
// Without a sound device nothing is played.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zvrx::platform {

inline constexpr int kWaveHeaderSize = 44;  // RIFF, fmt and data headers

// A wave image of `sample_bytes` unsigned 8-bit mono samples at `rate`:
// the header filled in, every sample silence (128) for the caller to set.
std::vector<uint8_t> EightBitMonoWave(int rate, int sample_bytes);

// Plays a PCM wave image (8 or 16 bits, one or two channels) and returns
// when it has ended; false when the image is no such wave or nothing played.
bool PlayWaveImage(const uint8_t* image, size_t size);

}  // namespace zvrx::platform
