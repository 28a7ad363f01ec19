// The structure of a WAV effect: RIFF chunks walked to the end, a PCM format SDL plays.
#include <cstddef>

#include "audio/SoundFileCheck.h"

namespace {
uint32_t le32(std::span<const uint8_t> at) {
  return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
}
uint16_t le16(std::span<const uint8_t> at) { return uint16_t(at[0] | at[1] << 8); }
bool named(std::span<const uint8_t> at, const char (&id)[5]) {
  return at[0] == id[0] && at[1] == id[1] && at[2] == id[2] && at[3] == id[3];
}

constexpr uint16_t kPcm = 1;
constexpr uint16_t kExtensible = 0xFFFE;  // its sub-format GUID starts with the plain format tag
constexpr uint32_t kHighestRate = 384000;

bool playableFormat(std::span<const uint8_t> fmt) {
  if (fmt.size() < 16) return false;
  uint16_t tag = le16(fmt.subspan(0));
  if (tag == kExtensible) {
    if (fmt.size() < 40) return false;
    tag = le16(fmt.subspan(24));
  }
  const unsigned channels = le16(fmt.subspan(2));
  const uint32_t rate = le32(fmt.subspan(4));
  const unsigned blockAlign = le16(fmt.subspan(12));
  const unsigned bits = le16(fmt.subspan(14));
  return tag == kPcm && channels >= 1 && channels <= 8 && rate >= 1 && rate <= kHighestRate &&
         (bits == 8 || bits == 16 || bits == 24 || bits == 32) && blockAlign == channels * bits / 8;
}
}  // namespace

bool isSoundEffect(std::span<const uint8_t> bytes) {
  if (bytes.size() < 12 || !named(bytes, "RIFF") || !named(bytes.subspan(8), "WAVE")) return false;
  // The RIFF size counts from byte 8; a file cut short of it is damaged, trailing bytes are not.
  const uint64_t riffEnd = uint64_t(le32(bytes.subspan(4))) + 8;
  if (riffEnd > bytes.size()) return false;
  unsigned blockAlign = 0;  // set once the format is known
  std::size_t at = 12;
  while (at + 8 <= riffEnd) {
    const std::span<const uint8_t> header = bytes.subspan(at, 8);
    const uint64_t length = le32(header.subspan(4));
    const std::size_t body = at + 8;
    if (body + length > riffEnd) return false;
    const std::span<const uint8_t> content = bytes.subspan(body, std::size_t(length));
    if (named(header, "fmt ")) {
      if (blockAlign != 0 || !playableFormat(content)) return false;
      blockAlign = le16(content.subspan(12));
    } else if (named(header, "data")) {
      // The samples are the last thing SDL reads: their format must be known by then.
      return blockAlign != 0 && length > 0 && length % blockAlign == 0;
    }
    at = body + std::size_t(length) + (length & 1);  // chunks are padded to an even size
  }
  return false;
}
