// The arrival sound: a short two-tone chime made in the program as a RIFF
// WAVE image (PCM, mono, 8-bit, 22,254 Hz, 48,640 sample bytes), played
// synchronously through the platform's sound playback (platform/sound.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zvrx {

inline constexpr int kArrivalSoundRate = 22254;
inline constexpr int kArrivalSoundSampleBytes = 48640;  // about 2.2 seconds

// The whole WAVE image; the same bytes on every call.
std::vector<uint8_t> ArrivalSoundImage();

// The chime, synchronous; without a sound device nothing happens.
void PlayArrivalSound();

}  // namespace zvrx
