// MP3 files through libmp3lame, with the LAME tag that makes them loop without a gap.
#include <lame/lame.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "AudioWriters.h"

namespace {
constexpr int kBitrate = 160;  // kbps: square waves keep their edge without ringing
constexpr int kQuality = 3;    // LAME's -q: 0 best and slowest, 9 worst
}  // namespace

bool writeMp3(const std::string& path, const std::vector<float>& stereo) {
  std::unique_ptr<lame_global_flags, decltype(&lame_close)> lame(lame_init(), lame_close);
  if (!lame) return false;
  lame_set_in_samplerate(lame.get(), 44100);
  lame_set_out_samplerate(lame.get(), 44100);
  lame_set_num_channels(lame.get(), 2);
  lame_set_mode(lame.get(), JOINT_STEREO);
  lame_set_brate(lame.get(), kBitrate);
  lame_set_quality(lame.get(), kQuality);
  // The Info/LAME tag stores the encoder delay and padding; decoders use it to play exactly
  // the samples we gave, which is what a seamless loop needs.
  lame_set_bWriteVbrTag(lame.get(), 1);
  lame_set_write_id3tag_automatic(lame.get(), 0);
  if (lame_init_params(lame.get()) < 0) return false;

  const int frames = static_cast<int>(stereo.size() / 2);
  std::vector<unsigned char> mp3(static_cast<std::size_t>(1.25 * frames + 7200 + 16384));
  std::size_t used = 0;
  constexpr int kChunk = 8192;
  for (int at = 0; at < frames; at += kChunk) {
    int n = std::min(kChunk, frames - at);
    std::size_t room = mp3.size() - used;
    int written = lame_encode_buffer_interleaved_ieee_float(
        lame.get(), stereo.data() + 2 * static_cast<std::size_t>(at), n, mp3.data() + used,
        static_cast<int>(room));
    if (written < 0) return false;
    used += static_cast<std::size_t>(written);
  }
  int flushed =
      lame_encode_flush(lame.get(), mp3.data() + used, static_cast<int>(mp3.size() - used));
  if (flushed < 0) return false;
  used += static_cast<std::size_t>(flushed);

  // The encoder began the stream with a placeholder frame; the real tag replaces it.
  unsigned char tag[4096];
  std::size_t tagSize = lame_get_lametag_frame(lame.get(), tag, sizeof tag);
  if (tagSize == 0 || tagSize > sizeof tag || tagSize > used) return false;
  std::copy(tag, tag + tagSize, mp3.begin());

  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  bool ok = std::fwrite(mp3.data(), 1, used, file) == used;
  return std::fclose(file) == 0 && ok;
}
