// The structure of an MP3 track: ID3 tags, layer III frame headers chained to the end, and the
// Xing/Info frame's byte count, which the decoder otherwise warns about at every loop.
#include <array>
#include <cstddef>

#include "audio/SoundFileCheck.h"

namespace {
struct FrameFormat {
  unsigned version = 0;  // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
  unsigned rateIndex = 0;
  bool mono = false;
  bool operator==(const FrameFormat&) const = default;
};

struct Frame {
  FrameFormat format;
  std::size_t length = 0;
  std::size_t sideInfoEnd = 0;  // where a Xing/Info tag would start, from the frame's start
};

constexpr std::array<unsigned, 15> kMpeg1Kbps = {0,   32,  40,  48,  56,  64,  80, 96,
                                                 112, 128, 160, 192, 224, 256, 320};
constexpr std::array<unsigned, 15> kMpeg2Kbps = {0,  8,  16, 24,  32,  40,  48, 56,
                                                 64, 80, 96, 112, 128, 144, 160};
constexpr std::array<unsigned, 3> kMpeg1Rates = {44100, 48000, 32000};
constexpr std::size_t kId3v1Size = 128;

uint32_t be32(std::span<const uint8_t> at) {
  return uint32_t(at[0]) << 24 | uint32_t(at[1]) << 16 | uint32_t(at[2]) << 8 | uint32_t(at[3]);
}

// A layer III header at the start of at, or false. Free-format and reserved values are refused:
// the decoder cannot chain them either.
bool readFrame(std::span<const uint8_t> at, Frame& frame) {
  if (at.size() < 4 || at[0] != 0xFF || (at[1] & 0xE0) != 0xE0) return false;
  const unsigned version = (at[1] >> 3) & 3;
  const unsigned layer = (at[1] >> 1) & 3;
  const bool crc = (at[1] & 1) == 0;
  const unsigned bitrateIndex = at[2] >> 4;
  const unsigned rateIndex = (at[2] >> 2) & 3;
  const unsigned padding = (at[2] >> 1) & 1;
  const bool mono = (at[3] >> 6) == 3;
  if (version == 1 || layer != 1 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3 ||
      (at[3] & 3) == 2)
    return false;
  const bool mpeg1 = version == 3;
  const unsigned kbps = (mpeg1 ? kMpeg1Kbps : kMpeg2Kbps)[bitrateIndex];
  const unsigned rate = kMpeg1Rates[rateIndex] >> (mpeg1 ? 0 : version == 2 ? 1 : 2);
  frame.format = {version, rateIndex, mono};
  frame.length = (mpeg1 ? 144000 : 72000) * kbps / rate + padding;
  frame.sideInfoEnd = 4 + (crc ? 2 : 0) + (mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17));
  return true;
}

// The size of an ID3v2 tag at the start of at (header, body and footer), 0 when there is none,
// or more than at holds when its size is damaged.
std::size_t id3v2Size(std::span<const uint8_t> at) {
  if (at.size() < 10 || at[0] != 'I' || at[1] != 'D' || at[2] != '3') return 0;
  std::size_t body = 0;
  for (int i = 6; i < 10; ++i) {
    if (at[i] & 0x80) return at.size() + 1;  // sizes are stored seven bits a byte
    body = body << 7 | at[i];
  }
  const bool footer = (at[5] & 0x10) != 0;
  return 10 + body + (footer ? 10 : 0);
}

bool hasId3v1(std::span<const uint8_t> bytes) {
  if (bytes.size() < kId3v1Size) return false;
  std::span<const uint8_t> tag = bytes.last(kId3v1Size);
  return tag[0] == 'T' && tag[1] == 'A' && tag[2] == 'G';
}

// The byte count of the Xing/Info tag in this frame, or -1 when there is none or it has none.
int64_t xingBytes(std::span<const uint8_t> frame, const Frame& header) {
  if (frame.size() < header.sideInfoEnd + 12) return -1;
  std::span<const uint8_t> tag = frame.subspan(header.sideInfoEnd);
  const bool xing = tag[0] == 'X' && tag[1] == 'i' && tag[2] == 'n' && tag[3] == 'g';
  const bool info = tag[0] == 'I' && tag[1] == 'n' && tag[2] == 'f' && tag[3] == 'o';
  if (!xing && !info) return -1;
  const uint32_t flags = be32(tag.subspan(4));
  constexpr uint32_t kFramesField = 1, kBytesField = 2;
  if (!(flags & kBytesField)) return -1;
  const std::size_t at = 8 + ((flags & kFramesField) ? 4 : 0);
  if (tag.size() < at + 4) return -2;
  return be32(tag.subspan(at));
}
}  // namespace

bool isMusicTrack(std::span<const uint8_t> bytes) {
  const std::size_t start = id3v2Size(bytes);
  if (start >= bytes.size()) return false;
  const std::size_t end = hasId3v1(bytes) ? bytes.size() - kId3v1Size : bytes.size();
  std::size_t at = start;
  std::size_t audioFrames = 0;
  Frame first;
  int64_t declaredBytes = -1;
  while (at < end) {
    Frame frame;
    if (!readFrame(bytes.subspan(at, end - at), frame) || frame.length > end - at) return false;
    if (at == start) {
      first = frame;
      declaredBytes = xingBytes(bytes.subspan(at, frame.length), frame);
      if (declaredBytes == -2) return false;
      if (declaredBytes < 0) ++audioFrames;  // no tag: the first frame is sound
    } else {
      if (!(frame.format == first.format)) return false;
      ++audioFrames;
    }
    at += frame.length;
  }
  if (audioFrames == 0) return false;
  // Encoders count the stream with or without its tags; any other count is a cut or grown file.
  if (declaredBytes < 0) return true;
  const uint64_t count = uint64_t(declaredBytes);
  return count == bytes.size() || count == bytes.size() - start || count == end ||
         count == end - start;
}
