// The completion sound "Regist": a short rising arpeggio as a RIFF WAVE
// image (PCM, mono, 8-bit, 22,254 Hz), made by the build into the data
// folder of the distribution and played by Install from the file.
#pragma once

#include <cstdint>
#include <vector>

namespace zvrx {

inline constexpr int kCompletionSoundRate = 22254;
inline constexpr int kCompletionNoteSamples = 5564;  // a quarter of a second
inline constexpr int kCompletionNotes = 4;

// The whole image; the same bytes on every call.
std::vector<uint8_t> CompletionSoundImage();

}  // namespace zvrx
