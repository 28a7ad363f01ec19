// 16-bit PCM WAV files through libsndfile.
#include <sndfile.h>

#include <cmath>
#include <cstdint>

#include "AudioWriters.h"

bool writeWav(const std::string& path, const std::vector<float>& mono) {
  std::vector<short> pcm(mono.size());
  for (std::size_t i = 0; i < mono.size(); ++i) {
    long value = std::lround(mono[i] * 32767.0f);
    pcm[i] = static_cast<short>(value > 32767 ? 32767 : value < -32768 ? -32768 : value);
  }
  SF_INFO info{};
  info.samplerate = 44100;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!file) return false;
  bool ok = sf_write_short(file, pcm.data(), static_cast<sf_count_t>(pcm.size())) ==
            static_cast<sf_count_t>(pcm.size());
  return sf_close(file) == 0 && ok;
}
