#include "platform/sound.h"

#include <alsa/asoundlib.h>

#include <cstring>
#include <span>

#include "platform/little_endian.h"

namespace zvrx::platform {

namespace {

constexpr int kAlsaLatencyUs = 200000;

// Without a device ALSA would print its complaints on standard error.
void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}

struct WaveFormat {
  int channels = 0;
  int rate = 0;
  int bits = 0;
  const uint8_t* samples = nullptr;
  size_t sample_bytes = 0;
};

// Walks the RIFF chunks; every length is checked against the image.
bool ParseWave(const uint8_t* image, size_t size, WaveFormat& format) {
  if (image == nullptr || size < 12 || std::memcmp(image, "RIFF", 4) != 0 ||
      std::memcmp(image + 8, "WAVE", 4) != 0) {
    return false;
  }
  const std::span<const uint8_t> bytes(image, size);
  bool have_format = false;
  size_t at = 12;
  while (size - at >= 8) {
    const uint8_t* chunk = image + at;
    const size_t length = ReadLe32(bytes, at + 4);
    const size_t available = size - at - 8;
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      if (length < 16 || length > available) return false;
      if (ReadLe16(bytes, at + 8) != 1) return false;  // PCM only
      format.channels = ReadLe16(bytes, at + 10);
      format.rate = static_cast<int>(ReadLe32(bytes, at + 12));
      format.bits = ReadLe16(bytes, at + 22);
      have_format = true;
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      if (!have_format) return false;
      format.samples = chunk + 8;
      format.sample_bytes = length < available ? length : available;  // a short image plays what it has
      return format.channels >= 1 && format.channels <= 2 && format.rate > 0 &&
             (format.bits == 8 || format.bits == 16);
    }
    if (length > available) return false;
    at += 8 + length + (length & 1);  // chunks are padded to even lengths
  }
  return false;
}

}  // namespace

std::vector<uint8_t> EightBitMonoWave(int rate, int sample_bytes) {
  std::vector<uint8_t> image(kWaveHeaderSize + sample_bytes, 128);  // unsigned: silence is 128
  std::memcpy(&image[0], "RIFF", 4);
  WriteLe32(image, 4, static_cast<uint32_t>(image.size() - 8));
  std::memcpy(&image[8], "WAVEfmt ", 8);
  WriteLe32(image, 16, 16);
  WriteLe16(image, 20, 1);  // PCM
  WriteLe16(image, 22, 1);  // mono
  WriteLe32(image, 24, static_cast<uint32_t>(rate));
  WriteLe32(image, 28, static_cast<uint32_t>(rate));  // bytes per second at one byte a sample
  WriteLe16(image, 32, 1);
  WriteLe16(image, 34, 8);
  std::memcpy(&image[36], "data", 4);
  WriteLe32(image, 40, static_cast<uint32_t>(sample_bytes));
  return image;
}

bool PlayWaveImage(const uint8_t* image, size_t size) {
  WaveFormat format;
  if (!ParseWave(image, size, format)) return false;
  snd_lib_error_set_handler(QuietAlsa);

  snd_pcm_t* pcm = nullptr;
  if (snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, 0) < 0) return false;
  const snd_pcm_format_t pcm_format = format.bits == 8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE;
  if (snd_pcm_set_params(pcm, pcm_format, SND_PCM_ACCESS_RW_INTERLEAVED,
                         static_cast<unsigned>(format.channels),
                         static_cast<unsigned>(format.rate), 1, kAlsaLatencyUs) < 0) {
    snd_pcm_close(pcm);
    return false;
  }
  const size_t frame_bytes = static_cast<size_t>(format.channels) * (format.bits / 8);
  const uint8_t* next = format.samples;
  snd_pcm_uframes_t frames_left = format.sample_bytes / frame_bytes;
  bool played = true;
  while (frames_left > 0) {
    snd_pcm_sframes_t written = snd_pcm_writei(pcm, next, frames_left);
    if (written < 0) {
      if (snd_pcm_recover(pcm, static_cast<int>(written), 1) < 0) {
        played = false;
        break;
      }
      continue;
    }
    next += static_cast<size_t>(written) * frame_bytes;
    frames_left -= static_cast<snd_pcm_uframes_t>(written);
  }
  if (played) snd_pcm_drain(pcm);  // synchronous: return when the sound has ended
  snd_pcm_close(pcm);
  return played;
}

}  // namespace zvrx::platform
