// The BMP check, read field by field as Allegro's load_bmp_pf reads them.
#include "gfx/BmpCheck.h"

#include "gfx/RunLengthWalk.h"

namespace {
constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kOs2InfoSize = 12;
constexpr uint32_t kWindowsInfoSize = 40;
constexpr uint32_t kMaskBytes = 12;  // red, green and blue masks after a bit-field header
enum Compression : uint32_t { Rgb = 0, Rle8 = 1, Rle4 = 2, BitFields = 3, Jpeg = 4, Png = 5 };

uint32_t readLittle(std::span<const uint8_t> bytes, size_t at, int count) {
  uint32_t value = 0;
  for (int i = count - 1; i >= 0; --i) value = value << 8 | bytes[at + i];
  return value;
}

// Header sizes of the later BMP versions (OS/2 2.x, Windows V2 to V5): sound files that
// Allegro's loader refuses outright.
bool laterInfoSize(uint32_t size) {
  for (uint32_t later : {16u, 52u, 56u, 64u, 108u, 124u})
    if (size == later) return true;
  return false;
}

// Compressions the loader reads, each with the depths it belongs to. Other pairings load as
// garbage, so they count as damaged.
bool depthFitsCompression(uint32_t bitsPerPixel, uint32_t compression) {
  switch (compression) {
    case Rgb:
      for (uint32_t depth : {1u, 4u, 8u, 16u, 24u, 32u})
        if (bitsPerPixel == depth) return true;
      return false;
    case Rle8:
      return bitsPerPixel == 8;
    case Rle4:
      return bitsPerPixel == 4;
    case BitFields:
      return bitsPerPixel == 16 || bitsPerPixel == 32;
    default:
      return false;
  }
}

// The loader takes three mask sets only (5-5-5, 5-6-5, 8-8-8) and refuses the rest; each must
// also fit the header's depth, or the loader reads pixels of another size than the file holds.
bool masksFitDepth(uint32_t red, uint32_t blue, uint32_t bitsPerPixel) {
  if (bitsPerPixel == 16) return blue == 0x001F && (red == 0x7C00 || red == 0xF800);
  return blue == 0x0000FF && red == 0xFF0000;
}
}  // namespace

BitmapFileState checkBitmapBytes(std::span<const uint8_t> file) {
  if (file.size() < kFileHeaderSize + 4 || file[0] != 'B' || file[1] != 'M')
    return BitmapFileState::Damaged;
  const uint32_t pixelOffset = readLittle(file, 10, 4);
  const uint32_t infoSize = readLittle(file, 14, 4);
  const uint64_t headerEnd = uint64_t{kFileHeaderSize} + infoSize;
  uint32_t width = 0, height = 0, bitsPerPixel = 0, compression = Rgb;
  if (infoSize == kOs2InfoSize) {
    if (file.size() < headerEnd) return BitmapFileState::Damaged;
    width = readLittle(file, 18, 2);
    height = readLittle(file, 20, 2);
    bitsPerPixel = readLittle(file, 24, 2);
  } else if (infoSize == kWindowsInfoSize) {
    if (file.size() < headerEnd) return BitmapFileState::Damaged;
    width = readLittle(file, 18, 4);
    height = readLittle(file, 22, 4);
    bitsPerPixel = readLittle(file, 28, 2);
    compression = readLittle(file, 30, 4);
    // Rows stored top-down (a negative height) and JPEG or PNG data are legal BMPs.
    if (height & 0x80000000u || compression == Jpeg || compression == Png)
      return BitmapFileState::OtherBmpKind;
  } else {
    return laterInfoSize(infoSize) ? BitmapFileState::OtherBmpKind : BitmapFileState::Damaged;
  }
  if (width == 0 || height == 0 || uint64_t{width} * height > kMaxPicturePixels)
    return BitmapFileState::Damaged;
  if (!depthFitsCompression(bitsPerPixel, compression)) return BitmapFileState::Damaged;

  // Where the loader starts on the pixels: it skips what lies between the header and the
  // pixel offset as palette, but reads bit-field masks right after the header instead.
  uint64_t pixelStart = pixelOffset > headerEnd ? pixelOffset : headerEnd;
  if (compression == BitFields) {
    if (file.size() < headerEnd + kMaskBytes) return BitmapFileState::Damaged;
    if (!masksFitDepth(readLittle(file, headerEnd, 4), readLittle(file, headerEnd + 8, 4),
                       bitsPerPixel))
      return BitmapFileState::Damaged;
    pixelStart = headerEnd + kMaskBytes;
  }
  if (pixelStart > file.size()) return BitmapFileState::Damaged;
  const std::span<const uint8_t> pixels = file.subspan(pixelStart);

  if (compression == Rle8 || compression == Rle4)
    return runLengthFits(pixels, width, height,
                         compression == Rle8 ? RunLength::Rle8 : RunLength::Rle4)
               ? BitmapFileState::Readable
               : BitmapFileState::Damaged;
  // Uncompressed rows are padded to four bytes.
  const uint64_t rowBytes = (uint64_t{width} * bitsPerPixel + 31) / 32 * 4;
  return pixels.size() >= rowBytes * height ? BitmapFileState::Readable : BitmapFileState::Damaged;
}
