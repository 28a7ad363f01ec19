// Translucent blit of one frame of a sprite strip, straight on the pixel memory of two memory
// bitmaps, clipped to both bitmaps, with magenta left out.
#include <allegro.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "gfx/BlendBlitSeam.h"
#include "gfx/Draw.h"

namespace {
constexpr uint16_t kKey16 = 0xF81F;
constexpr uint32_t kKey32 = 0xFF00FF;

#define ZEPH_INLINE inline __attribute__((always_inline))

// A vector register of `Bytes` bytes seen as 16-bit or 32-bit lanes: 16 bytes everywhere
// (SSE2, NEON), 32 bytes where the processor has AVX2.
template <int Bytes>
struct Lanes;
template <>
struct Lanes<16> {
  typedef uint16_t U16 __attribute__((vector_size(16)));
  typedef uint32_t U32 __attribute__((vector_size(16)));
};
template <>
struct Lanes<32> {
  typedef uint16_t U16 __attribute__((vector_size(32)));
  typedef uint32_t U32 __attribute__((vector_size(32)));
};

// Each channel becomes D + floor((S - D) * f / 256), which equals (S * f + D * (256 - f)) >> 8:
// all terms are then non-negative and the sum is at most 255 * 256, so every channel mixes in
// an unsigned 16-bit lane. memcpy does the unaligned loads and stores without aliasing trouble.

// One register of 5-6-5 pixels; a magenta source pixel keeps the target pixel.
template <int Bytes>
ZEPH_INLINE void mixVector16(const uint16_t* source, uint16_t* target, uint16_t f, uint16_t g) {
  using U16 = typename Lanes<Bytes>::U16;
  U16 s, d;
  std::memcpy(&s, source, sizeof s);
  std::memcpy(&d, target, sizeof d);
  U16 red = ((s >> 11) * f + (d >> 11) * g) >> 8;
  U16 green = (((s >> 5) & 0x3F) * f + ((d >> 5) & 0x3F) * g) >> 8;
  U16 blue = ((s & 0x1F) * f + (d & 0x1F) * g) >> 8;
  U16 mixed = (red << 11) | (green << 5) | blue;
  U16 keep = reinterpret_cast<U16>(s == kKey16);
  U16 out = (keep & d) | (~keep & mixed);
  std::memcpy(target, &out, sizeof out);
}

// One register of 8-8-8 pixels. Seen as 16-bit lanes, each pixel is (green, blue) and
// (top, red): every byte mixes in its own lane, the low bytes shifted down, the high bytes
// already in place. The top byte of a mixed pixel is 0.
template <int Bytes>
ZEPH_INLINE void mixVector32(const uint32_t* source, uint32_t* target, uint16_t f, uint16_t g) {
  using U16 = typename Lanes<Bytes>::U16;
  using U32 = typename Lanes<Bytes>::U32;
  U16 s, d;
  std::memcpy(&s, source, sizeof s);
  std::memcpy(&d, target, sizeof d);
  U16 lowBytes = ((s & 0xFF) * f + (d & 0xFF) * g) >> 8;
  U16 highBytes = (s >> 8) * f + (d >> 8) * g;
  U32 mixed = reinterpret_cast<U32>(lowBytes) | (reinterpret_cast<U32>(highBytes) & 0xFF00);
  U32 s32 = reinterpret_cast<U32>(s);
  U32 d32 = reinterpret_cast<U32>(d);
  U32 keep = reinterpret_cast<U32>((s32 & 0xFFFFFF) == kKey32);
  U32 out = (keep & d32) | (~keep & mixed);
  std::memcpy(target, &out, sizeof out);
}

// The clipped rectangle: `count` pixels of each source row from firstRow to endRow - 1, read at
// sourceX and written to target row `row + y` at targetX.
struct Area {
  int sourceX;
  int targetX;
  int count;
  int firstRow;
  int endRow;
  int y;
};

template <typename Pixel, int Bytes, void (*mixVector)(const Pixel*, Pixel*, uint16_t, uint16_t)>
ZEPH_INLINE void blendArea(BITMAP* sourceBitmap, BITMAP* targetBitmap, const Area& area,
                           uint32_t factor) {
  constexpr int step = Bytes / sizeof(Pixel);
  const uint16_t f = static_cast<uint16_t>(factor);
  const uint16_t g = static_cast<uint16_t>(256 - factor);
  const int whole = area.count - area.count % step;
  const size_t restBytes = static_cast<size_t>(area.count - whole) * sizeof(Pixel);
  for (int row = area.firstRow; row < area.endRow; ++row) {
    const Pixel* source = reinterpret_cast<const Pixel*>(sourceBitmap->line[row]) + area.sourceX;
    Pixel* target = reinterpret_cast<Pixel*>(targetBitmap->line[row + area.y]) + area.targetX;
    for (int i = 0; i < whole; i += step) mixVector(source + i, target + i, f, g);
    if (restBytes) {
      // The last few pixels go through a full-width scratch copy, so no pixel past the row is
      // read or written.
      Pixel s[step] = {};
      Pixel d[step] = {};
      std::memcpy(s, source + whole, restBytes);
      std::memcpy(d, target + whole, restBytes);
      mixVector(s, d, f, g);
      std::memcpy(target + whole, d, restBytes);
    }
  }
}

void blendArea16(BITMAP* source, BITMAP* target, const Area& area, uint32_t factor) {
  blendArea<uint16_t, 16, mixVector16<16>>(source, target, area, factor);
}

void blendArea32(BITMAP* source, BITMAP* target, const Area& area, uint32_t factor) {
  blendArea<uint32_t, 16, mixVector32<16>>(source, target, area, factor);
}

#if defined(__x86_64__) || defined(__i386__)
// Twice the pixels per step on processors with AVX2, chosen at run time.
__attribute__((target("avx2"))) void blendArea16Avx2(BITMAP* source, BITMAP* target,
                                                     const Area& area, uint32_t factor) {
  blendArea<uint16_t, 32, mixVector16<32>>(source, target, area, factor);
}

__attribute__((target("avx2"))) void blendArea32Avx2(BITMAP* source, BITMAP* target,
                                                     const Area& area, uint32_t factor) {
  blendArea<uint32_t, 32, mixVector32<32>>(source, target, area, factor);
}

bool wideVectorsAllowed = true;

bool useWideVectors() {
  static const bool avx2 = __builtin_cpu_supports("avx2");
  return avx2 && wideVectorsAllowed;
}
#endif

void blendAreaOfDepth(int depth, BITMAP* source, BITMAP* target, const Area& area,
                      uint32_t factor) {
#if defined(__x86_64__) || defined(__i386__)
  if (useWideVectors()) {
    if (depth == 16)
      blendArea16Avx2(source, target, area, factor);
    else
      blendArea32Avx2(source, target, area, factor);
    return;
  }
#endif
  if (depth == 16)
    blendArea16(source, target, area, factor);
  else
    blendArea32(source, target, area, factor);
}
}  // namespace

void blendBlit(BITMAP* source, BITMAP* target, int16_t frameWidth, int16_t frameIndex, int16_t x,
               int16_t y, int16_t factor) {
  if (!source || !target || frameWidth <= 0 || factor <= 0) return;
  if (!is_memory_bitmap(source) || !is_memory_bitmap(target)) return;
  // The format comes from the bitmaps, not the display mode, so it can never misread a pixel.
  const int depth = bitmap_color_depth(source);
  if (depth != bitmap_color_depth(target) || (depth != 16 && depth != 32)) return;
  // Above 256 the channels would leave their range; 256 already copies the source.
  const uint32_t f = std::min<int>(factor, 256);

  // Column k of the frame reads source column frameStart + k and writes target column x + k;
  // keep k where both lie inside their bitmaps, so a frame past the strip reads nothing outside.
  const int frameStart = frameIndex * frameWidth;
  const int firstColumn = std::max({0, -frameStart, -static_cast<int>(x)});
  const int endColumn = std::min(
      {static_cast<int>(frameWidth), source->w - frameStart, target->w - static_cast<int>(x)});
  const int firstRow = std::max(0, -static_cast<int>(y));
  const int endRow = std::min(source->h, target->h - static_cast<int>(y));
  if (firstColumn >= endColumn || firstRow >= endRow) return;

  const Area area{
      frameStart + firstColumn, x + firstColumn, endColumn - firstColumn, firstRow, endRow, y};
  blendAreaOfDepth(depth, source, target, area, f);
}

void allowWideBlendVectors(bool allowed) {
#if defined(__x86_64__) || defined(__i386__)
  wideVectorsAllowed = allowed;
#else
  (void)allowed;
#endif
}
