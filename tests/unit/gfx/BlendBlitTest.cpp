// The translucent blit: channel arithmetic and mask in both pixel formats, and clipping of the
// frame against the strip and the target on every edge.
#include <allegro.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "gfx/BlendBlitSeam.h"
#include "gfx/Draw.h"
#include "support/FixtureBitmaps.h"

namespace {

uint32_t rawPixel(BITMAP* bitmap, int x, int y) {
  return static_cast<uint32_t>(getpixel(bitmap, x, y));
}

// Runs one test on the wide (AVX2) or the narrow vector code; without AVX2 both are narrow.
class VectorWidth {
 public:
  explicit VectorWidth(bool wide) { allowWideBlendVectors(wide); }
  ~VectorWidth() { allowWideBlendVectors(true); }
};

std::string widthName(bool wide) { return wide ? "wide" : "narrow"; }

constexpr uint32_t pack16(uint32_t r, uint32_t g, uint32_t b) { return (r << 11) | (g << 5) | b; }

struct MixCase {
  const char* name;
  int depth;
  uint32_t source;
  uint32_t target;
  int factor;
  uint32_t expected;
};

std::ostream& operator<<(std::ostream& out, const MixCase& c) { return out << c.name; }

class BlendMix : public ::testing::TestWithParam<std::tuple<MixCase, bool>> {};

// A row long enough for whole vector steps and a few pixels more, with every third source
// pixel magenta, so that each lane must keep or mix on its own.
TEST_P(BlendMix, MixesEveryPixelOfARow) {
  const auto& [c, wide] = GetParam();
  VectorWidth width(wide);
  constexpr int kWidth = 35;
  const uint32_t key = c.depth == 16 ? 0xF81F : 0xFF00FF;
  BitmapPtr source(create_bitmap_ex(c.depth, kWidth, 1));
  BitmapPtr target(create_bitmap_ex(c.depth, kWidth, 1));
  for (int i = 0; i < kWidth; ++i) {
    putpixel(source.get(), i, 0, static_cast<int>(i % 3 == 1 ? key : c.source));
    putpixel(target.get(), i, 0, static_cast<int>(c.target));
  }

  blendBlit(source.get(), target.get(), kWidth, 0, 0, 0, static_cast<int16_t>(c.factor));

  for (int i = 0; i < kWidth; ++i) {
    uint32_t expected = i % 3 == 1 ? c.target : c.expected;
    EXPECT_EQ(rawPixel(target.get(), i, 0), expected)
        << "pixel " << i << ": " << std::hex << rawPixel(target.get(), i, 0);
  }
}

const MixCase kMixCases[] = {
    // One step short of white: 31 * 255 / 256 floors to 30, 63 * 255 / 256 to 62.
    MixCase{"white_over_black_16", 16, 0xFFFF, 0x0000, 255, pack16(30, 62, 30)},
    MixCase{"white_over_black_32", 32, 0x00FFFFFF, 0x00000000, 255, 0x00FEFEFE},
    // The negative product floors down, so black wins completely.
    MixCase{"black_over_white_16", 16, 0x0000, 0xFFFF, 255, 0x0000},
    MixCase{"black_over_white_32", 32, 0x00000000, 0x00FFFFFF, 255, 0x00000000},
    // Half of -31 is -15.5, floored to -16; half of -63 floors to -32.
    MixCase{"half_black_over_white_16", 16, 0x0000, 0xFFFF, 128, pack16(15, 31, 15)},
    MixCase{"half_black_over_white_32", 32, 0x00000000, 0x00FFFFFF, 128, 0x007F7F7F},
    // Channels mix independently, each floored on its own (green falls by -27.75, floored to
    // -28).
    MixCase{"channels_16", 16, pack16(20, 10, 7), pack16(4, 50, 7), 64, pack16(8, 40, 7)},
    MixCase{"channels_32", 32, 0x00C811FF, 0x00308001, 64, 0x00566440},
    MixCase{"factor_0_16", 16, 0xFFFF, 0x1234, 0, 0x1234},
    MixCase{"factor_0_32", 32, 0x00FFFFFF, 0x12345678, 0, 0x12345678},
    // The key colour leaves the target exactly as it was, whatever the factor.
    MixCase{"magenta_16", 16, 0xF81F, 0x1234, 255, 0x1234},
    MixCase{"magenta_32", 32, 0x00FF00FF, 0x12345678, 255, 0x12345678},
    // Bits 24-31 are not part of the key, and are 0 in every mixed pixel.
    MixCase{"magenta_with_high_bits_32", 32, 0xABFF00FF, 0x12345678, 200, 0x12345678},
    MixCase{"high_bits_cleared_32", 32, 0xABFFFFFF, 0xCD000000, 255, 0x00FEFEFE},
    // Nearly magenta is an ordinary colour.
    MixCase{"almost_magenta_16", 16, 0xF83F, 0x0000, 255, pack16(30, 0, 30)},
    // Out-of-range factors: below 0 nothing happens, above 256 the source is copied.
    MixCase{"negative_factor_16", 16, 0xFFFF, 0x1234, -40, 0x1234},
    MixCase{"factor_256_copies_32", 32, 0x00123456, 0x00FFFFFF, 256, 0x00123456},
    MixCase{"huge_factor_copies_16", 16, pack16(3, 40, 17), 0xFFFF, 30000, pack16(3, 40, 17)},
};

INSTANTIATE_TEST_SUITE_P(Worked, BlendMix,
                         ::testing::Combine(::testing::ValuesIn(kMixCases), ::testing::Bool()),
                         [](const ::testing::TestParamInfo<std::tuple<MixCase, bool>>& info) {
                           return std::string(std::get<0>(info.param).name) + "_" +
                                  widthName(std::get<1>(info.param));
                         });

// Geometry, with factor 256 so that a drawn pixel is an exact copy of its source pixel.
// The strip is 3 frames of 4x3 pixels; the target is 8x4.
constexpr int kStripWidth = 12;
constexpr int kStripHeight = 3;
constexpr int kTargetWidth = 8;
constexpr int kTargetHeight = 4;

struct ClipCase {
  const char* name;
  int frameWidth;
  int frameIndex;
  int x;
  int y;
  // The target rectangle that must change (right and bottom exclusive; empty when left == right)
  // and the source pixel that lands on target pixel (j, i): (j + dx, i + dy).
  int left, top, right, bottom;
  int dx, dy;
};

std::ostream& operator<<(std::ostream& out, const ClipCase& c) { return out << c.name; }

class BlendClip : public ::testing::TestWithParam<std::tuple<ClipCase, int, bool>> {};

TEST_P(BlendClip, DrawsExactlyTheInsidePart) {
  const auto& [c, depth, wide] = GetParam();
  VectorWidth width(wide);
  Rgb background = distinctColour(500);
  BitmapPtr strip(create_bitmap_ex(depth, kStripWidth, kStripHeight));
  for (int row = 0; row < kStripHeight; ++row)
    for (int column = 0; column < kStripWidth; ++column)
      putPixel(strip.get(), column, row, distinctColour(row * kStripWidth + column));
  BitmapPtr target = makeSolidBitmap(kTargetWidth, kTargetHeight, background, depth);

  blendBlit(strip.get(), target.get(), static_cast<int16_t>(c.frameWidth),
            static_cast<int16_t>(c.frameIndex), static_cast<int16_t>(c.x),
            static_cast<int16_t>(c.y), 256);

  for (int i = 0; i < kTargetHeight; ++i)
    for (int j = 0; j < kTargetWidth; ++j) {
      bool inside = j >= c.left && j < c.right && i >= c.top && i < c.bottom;
      Rgb expected = inside ? pixelAt(strip.get(), j + c.dx, i + c.dy) : background;
      EXPECT_EQ(pixelAt(target.get(), j, i), expected) << "target pixel " << j << "," << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Edges, BlendClip,
    ::testing::Combine(
        ::testing::Values(ClipCase{"inside", 4, 1, 2, 1, 2, 1, 6, 4, 2, -1},
                          ClipCase{"at_origin", 4, 0, 0, 0, 0, 0, 4, 3, 0, 0},
                          // Cut at the right edge; nothing wraps into the start of the next row.
                          ClipCase{"right_edge", 4, 2, 6, 0, 6, 0, 8, 3, 2, 0},
                          ClipCase{"left_edge", 4, 0, -3, 0, 0, 0, 1, 3, 3, 0},
                          ClipCase{"top_edge", 4, 1, 0, -2, 0, 0, 4, 1, 4, 2},
                          ClipCase{"bottom_edge", 4, 2, 3, 3, 3, 3, 7, 4, 5, -3},
                          ClipCase{"all_edges", 12, 0, -2, -1, 0, 0, 8, 2, 2, 1},
                          ClipCase{"wholly_right", 4, 0, 8, 0, 0, 0, 0, 0, 0, 0},
                          ClipCase{"wholly_below", 4, 0, 0, 4, 0, 0, 0, 0, 0, 0},
                          ClipCase{"wholly_above", 4, 0, 0, -3, 0, 0, 0, 0, 0, 0},
                          // Frames that run past the strip draw only the columns the strip has.
                          ClipCase{"frame_index_past_strip", 4, 3, 0, 0, 0, 0, 0, 0, 0, 0},
                          ClipCase{"huge_frame_index", 4, 30000, 0, 0, 0, 0, 0, 0, 0, 0},
                          ClipCase{"negative_frame_index", 4, -1, 0, 0, 0, 0, 0, 0, 0, 0},
                          ClipCase{"frame_partly_past_strip", 8, 1, 0, 0, 0, 0, 4, 3, 8, 0},
                          ClipCase{"frame_wider_than_target", 12, 0, 0, 0, 0, 0, 8, 3, 0, 0},
                          ClipCase{"zero_width", 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
                          ClipCase{"negative_width", -4, -1, 0, 0, 0, 0, 0, 0, 0, 0}),
        ::testing::Values(16, 32), ::testing::Bool()),
    [](const ::testing::TestParamInfo<std::tuple<ClipCase, int, bool>>& info) {
      return std::string(std::get<0>(info.param).name) + "_" +
             std::to_string(std::get<1>(info.param)) + "_" + widthName(std::get<2>(info.param));
    });

TEST(BlendBlit, BeamFrameCoversItsColumnOfTheFrameOnly) {
  BitmapPtr flash = makeFrameStrip(5, 32, 240, 10);
  BitmapPtr buffer = makeSolidBitmap(320, 240, kBlack);

  blendBlit(flash.get(), buffer.get(), 32, 4, 64, 0, 256);

  EXPECT_EQ(countPixels(buffer.get(), distinctColour(14), 64, 0, 32, 240), 32 * 240);
  EXPECT_EQ(countPixels(buffer.get(), kBlack), 320 * 240 - 32 * 240);
}

TEST(BlendBlit, WorksThroughRowPointersOfASubBitmap) {
  // A sub-bitmap's rows are not one block of its own width; drawing past its right edge must
  // not reach the parent's pixels beside it.
  Rgb background = distinctColour(600);
  BitmapPtr parent = makeSolidBitmap(16, 8, background);
  BitmapPtr child(create_sub_bitmap(parent.get(), 4, 2, 6, 4));
  BitmapPtr source = makeSolidBitmap(4, 4, kWhite);

  blendBlit(source.get(), child.get(), 4, 0, 4, 1, 256);

  // Columns 4 and 5 of the child, rows 1 to 3, are parent pixels 8 and 9, rows 3 to 5.
  EXPECT_EQ(countPixels(parent.get(), kWhite), 2 * 3);
  EXPECT_EQ(countPixels(parent.get(), kWhite, 8, 3, 2, 3), 2 * 3);
}

TEST(BlendBlit, DoesNothingWithoutTwoBitmapsOfOneSupportedDepth) {
  BitmapPtr white16 = makeSolidBitmap(4, 4, kWhite, 16);
  BitmapPtr white32 = makeSolidBitmap(4, 4, kWhite, 32);
  BitmapPtr black16 = makeSolidBitmap(4, 4, kBlack, 16);
  BitmapPtr black32 = makeSolidBitmap(4, 4, kBlack, 32);
  BitmapPtr white24 = makeSolidBitmap(4, 4, kWhite, 24);
  BitmapPtr black24 = makeSolidBitmap(4, 4, kBlack, 24);

  blendBlit(white32.get(), black16.get(), 4, 0, 0, 0, 255);
  blendBlit(white16.get(), black32.get(), 4, 0, 0, 0, 255);
  blendBlit(white24.get(), black24.get(), 4, 0, 0, 0, 255);
  blendBlit(nullptr, black16.get(), 4, 0, 0, 0, 255);
  blendBlit(white16.get(), nullptr, 4, 0, 0, 0, 255);

  EXPECT_EQ(countPixels(black16.get(), kBlack), 16);
  EXPECT_EQ(countPixels(black32.get(), kBlack), 16);
  EXPECT_EQ(countPixels(black24.get(), kBlack), 16);
}

}  // namespace
