// Walks a run-length stream the way Allegro's BMP decoder reads it, without writing anything.
#include "gfx/RunLengthWalk.h"

namespace {
constexpr uint8_t kEscape = 0;
constexpr uint8_t kEndOfLine = 0;
constexpr uint8_t kEndOfBitmap = 1;
constexpr uint8_t kJump = 2;

// Bytes a stretch of `pixels` copied pixels takes: RLE8 one a pixel, RLE4 two a byte, both
// padded to a 16-bit boundary (the decoder reads RLE4 stretches a 16-bit word at a time).
uint32_t copiedBytes(uint32_t pixels, RunLength kind) {
  return kind == RunLength::Rle8 ? pixels + pixels % 2 : (pixels + 3) / 4 * 2;
}
}  // namespace

bool runLengthFits(std::span<const uint8_t> stream, uint32_t width, uint32_t height,
                   RunLength kind) {
  // x is the next pixel of row `row`, counted from the bottom as the file stores them. Once
  // every row is done (row == height) the decoder stops reading, so only the end mark may follow.
  uint64_t x = 0, row = 0;
  size_t at = 0;
  while (true) {
    if (stream.size() - at < 2) return false;  // cut before the end mark
    const uint8_t count = stream[at], code = stream[at + 1];
    at += 2;
    if (count != kEscape) {  // a run of one colour (RLE4: two alternating)
      if (row >= height || x + count > width) return false;
      x += count;
      continue;
    }
    switch (code) {
      case kEndOfBitmap:
        return true;
      case kEndOfLine:
        if (row >= height) return false;
        x = 0;
        ++row;
        break;
      case kJump: {
        if (stream.size() - at < 2) return false;  // cut in the jump
        const uint8_t right = stream[at], up = stream[at + 1];
        at += 2;
        x += right;
        row += up;
        // The decoder checks neither: a jump out of the image aims the next pixel anywhere.
        if (row >= height || x > width) return false;
        break;
      }
      default: {  // `code` pixels copied as they are
        const uint32_t bytes = copiedBytes(code, kind);
        if (stream.size() - at < bytes) return false;  // cut in the stretch
        if (row >= height || x + code > width) return false;
        at += bytes;
        x += code;
        break;
      }
    }
  }
}
