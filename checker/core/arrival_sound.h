// The arrival sound: a short two-tone chime made in the program as a RIFF
// WAVE image (PCM, mono, 8-bit, 22,254 Hz, 48,640 sample bytes), played
// synchronously through ALSA.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zvrx {

inline constexpr int kArrivalSoundRate = 22254;
inline constexpr int kArrivalSoundSampleBytes = 48640;  // about 2.2 seconds
inline constexpr int kWaveHeaderSize = 44;              // RIFF, fmt and data headers

// The whole WAVE image; the same bytes on every call.
std::vector<uint8_t> ArrivalSoundImage();

// Plays a PCM WAVE image from memory on the default device and returns when
// it has ended. False (and nothing played, nothing printed) when the image
// is not 8- or 16-bit PCM or no sound device can take it.
bool PlayWaveImage(const uint8_t* image, size_t size);

// The chime, synchronous; without a sound device nothing happens.
void PlayArrivalSound();

}  // namespace zvrx
