// The BMP check on bytes in memory: run-length streams walked against their header, and the
// loader reached only by what passes, decoding those same bytes.
#include <allegro.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <vector>

#include "gfx/BmpCheck.h"
#include "gfx/PictureFile.h"
#include "gfx/RunLengthFixtures.h"

namespace {
using rle::Bytes;
using rle::Kind;

const char* kindName(Kind kind) { return kind == Kind::Rle8 ? "RLE8" : "RLE4"; }

bool readable(const Bytes& file) { return checkBitmapBytes(file) == BitmapFileState::Readable; }

// The palette indices of an 8-bit bitmap, top row first.
rle::Rows indicesOf(BITMAP* bitmap) {
  rle::Rows rows(bitmap->h, std::vector<uint8_t>(bitmap->w));
  for (int y = 0; y < bitmap->h; ++y)
    for (int x = 0; x < bitmap->w; ++x) rows[y][x] = static_cast<uint8_t>(getpixel(bitmap, x, y));
  return rows;
}

TEST(BmpCheck, AWholeRunLengthPictureDecodesFromMemoryPixelForPixel) {
  for (Kind kind : {Kind::Rle8, Kind::Rle4}) {
    SCOPED_TRACE(kindName(kind));
    const Bytes file = rle::sampleFile(kind);
    ASSERT_TRUE(readable(file));
    BITMAP* bitmap = decodePicture(file, 8);  // at 8 bits the pixels stay palette indices
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(indicesOf(bitmap), rle::samplePicture());
    destroy_bitmap(bitmap);
  }
}

TEST(BmpCheck, EveryCutOfARunLengthFileIsDamaged) {
  // The end mark comes last, so no shorter piece of the file has it.
  for (Kind kind : {Kind::Rle8, Kind::Rle4}) {
    SCOPED_TRACE(kindName(kind));
    const Bytes file = rle::sampleFile(kind);
    for (size_t length = 0; length < file.size(); ++length) {
      const std::span<const uint8_t> cut(file.data(), length);
      EXPECT_EQ(static_cast<int>(checkBitmapBytes(cut)), static_cast<int>(BitmapFileState::Damaged))
          << "cut to " << length << " bytes";
      EXPECT_EQ(decodePicture(cut, 16), nullptr) << "cut to " << length << " bytes";
    }
  }
}

TEST(BmpCheck, RunLengthStreamsAreWalkedAgainstTheHeader) {
  for (Kind kind : {Kind::Rle8, Kind::Rle4}) {
    for (const rle::StreamCase& c : rle::streamCases(kind)) {
      SCOPED_TRACE(std::string(kindName(kind)) + ": " + c.name);
      const Bytes file = rle::bmpFile(c.stream, 13, 5, kind);
      EXPECT_EQ(readable(file), c.readable);
      // What fails the check never reaches the loader; what passes decodes whole.
      BITMAP* bitmap = decodePicture(file, 16);
      EXPECT_EQ(bitmap != nullptr, c.readable);
      if (bitmap) {
        EXPECT_EQ(bitmap->w, 13);
        EXPECT_EQ(bitmap->h, 5);
        destroy_bitmap(bitmap);
      }
    }
  }
}

TEST(BmpCheck, HeadersThatAskForMoreThanAnyPictureAreDamaged) {
  struct Case {
    const char* what;
    uint32_t width, height;
    bool readable;
  } cases[] = {
      {"our backgrounds' size", 320, 240, true},
      {"as many pixels as the ceiling", static_cast<uint32_t>(kMaxPicturePixels), 1, true},
      {"one pixel more", static_cast<uint32_t>(kMaxPicturePixels) + 1, 1, false},
      {"a run-length file of a huge picture", 40000, 40000, false},
      {"a width beyond any int", 0xFFFFFFF0u, 1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // The stream only ends: a few bytes that would still ask for the whole bitmap.
    EXPECT_EQ(readable(rle::bmpFile({0, 1}, c.width, c.height, Kind::Rle8)), c.readable);
  }
}

TEST(BmpCheck, BitFieldsMustBeMasksTheLoaderTakesAtTheHeadersDepth) {
  auto fieldsFile = [](uint16_t depth, uint32_t red, uint32_t green, uint32_t blue) {
    Bytes file = {'B', 'M'};
    const uint32_t offset = 14 + 40 + 12;
    rle::putLittle(file, offset + 4 * 2 * depth / 8, 4);
    rle::putLittle(file, 0, 4);
    rle::putLittle(file, offset, 4);
    for (uint32_t field : {40u, 2u, 2u}) rle::putLittle(file, field, 4);  // size, width, height
    rle::putLittle(file, 1, 2);
    rle::putLittle(file, depth, 2);
    rle::putLittle(file, 3, 4);  // bit fields
    for (int i = 0; i < 5; ++i) rle::putLittle(file, 0, 4);
    for (uint32_t mask : {red, green, blue}) rle::putLittle(file, mask, 4);
    file.resize(offset + 4 * 2 * depth / 8, 0x55);  // two rows of two pixels, each row 4-aligned
    return file;
  };
  struct Case {
    const char* what;
    Bytes file;
    bool readable;
  } cases[] = {
      {"5-5-5 at 16 bits", fieldsFile(16, 0x7C00, 0x03E0, 0x001F), true},
      {"5-6-5 at 16 bits", fieldsFile(16, 0xF800, 0x07E0, 0x001F), true},
      {"8-8-8 at 32 bits", fieldsFile(32, 0xFF0000, 0x00FF00, 0x0000FF), true},
      {"blue first at 32 bits", fieldsFile(32, 0x0000FF, 0x00FF00, 0xFF0000), false},
      {"8-8-8 masks in a 16-bit file", fieldsFile(16, 0xFF0000, 0x00FF00, 0x0000FF), false},
      {"5-6-5 masks in a 32-bit file", fieldsFile(32, 0xF800, 0x07E0, 0x001F), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(readable(c.file), c.readable);
    BITMAP* bitmap = decodePicture(c.file, 16);
    EXPECT_EQ(bitmap != nullptr, c.readable) << "check and loader disagree";
    if (bitmap) destroy_bitmap(bitmap);
  }
}

}  // namespace
