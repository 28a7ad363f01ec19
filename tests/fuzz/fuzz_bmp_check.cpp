// Fuzzes the picture check with arbitrary files: whatever it passes, Allegro's loader reads
// without a pixel outside its bitmap or a byte past the file, and decodes at the header's size.
// The loader is no instrumented code, so the harness replays its reading loops as the oracle.
#include <allegro.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>

#include "gfx/BmpCheck.h"
#include "gfx/PictureFile.h"

namespace {
void check(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

uint32_t little(std::span<const uint8_t> bytes, size_t at, int count) {
  uint32_t value = 0;
  for (int i = count - 1; i >= 0; --i)
    value = value << 8 | (at + i < bytes.size() ? bytes[at + i] : 0xFF);
  return value;
}

// pack_getc on the file's bytes: EOF once they are used up, which the loader takes as 255.
struct Reader {
  std::span<const uint8_t> bytes;
  size_t at;
  bool pastEnd = false;
  int getc() {
    if (at < bytes.size()) return bytes[at++];
    pastEnd = true;
    return EOF;
  }
};

// The loader's run-length loop (RLE8 or RLE4) step for step, each pixel write checked
// instead of made. False when a write leaves the bitmap or a read leaves the file.
bool runLengthLoopStaysInside(Reader in, int64_t width, int64_t height, bool fourBit) {
  int64_t line = height - 1;
  bool endOfPicture = false;
  while (!endOfPicture) {
    int64_t pos = 0;
    bool endOfLine = false;
    auto write = [&] { return line >= 0 && line < height && pos >= 0 && pos < width; };
    while (!endOfLine && !endOfPicture) {
      const auto count = static_cast<uint8_t>(in.getc());
      // RLE4 keeps the second byte in an unsigned short, so a missing one is 65535 there.
      const unsigned value =
          fourBit ? static_cast<unsigned short>(in.getc()) : static_cast<uint8_t>(in.getc());
      if (in.pastEnd) return false;
      if (count > 0) {
        for (int j = 0; j < count; ++j, ++pos)
          if (!write()) return false;
      } else if (value == 0) {
        endOfLine = true;
      } else if (value == 1) {
        endOfPicture = true;
      } else if (value == 2) {
        pos += static_cast<uint8_t>(in.getc());
        line -= static_cast<uint8_t>(in.getc());
      } else {
        for (unsigned j = 0; j < value; ++j, ++pos) {
          if (!fourBit) {
            in.getc();
          } else if (j % 4 == 0) {  // RLE4 reads four pixels a 16-bit word
            in.getc();
            in.getc();
          }
          if (!write()) return false;
        }
        if (!fourBit && value % 2 == 1) in.getc();
      }
      if (in.pastEnd) return false;
      if (pos - 1 > width) endOfLine = true;
    }
    if (--line < 0) endOfPicture = true;
  }
  return true;
}

// Where the loader's reading ends for what the check passed, read from the headers as the
// loader reads them; a run-length file is replayed instead.
void replayLoader(std::span<const uint8_t> file) {
  const uint32_t pixelOffset = little(file, 10, 4), infoSize = little(file, 14, 4);
  const bool os2 = infoSize == 12;
  const uint32_t width = os2 ? little(file, 18, 2) : little(file, 18, 4);
  const uint32_t height = os2 ? little(file, 20, 2) : little(file, 22, 4);
  const uint32_t bits = os2 ? little(file, 24, 2) : little(file, 28, 2);
  const uint32_t compression = os2 ? 0 : little(file, 30, 4);
  check(uint64_t{width} * height <= kMaxPicturePixels, "a picture above the pixel ceiling");
  // 64 bits whatever long is here: a header size near 4 GiB must not wrap.
  const int64_t headerEnd = 14 + int64_t{infoSize};
  // The palette is skipped up to the pixel offset, as a signed count; bit fields skip none.
  int64_t start = headerEnd;
  if (compression != 3 && static_cast<int32_t>(pixelOffset - headerEnd) > 0) start = pixelOffset;
  if (compression == 3) start = headerEnd + 12;
  check(static_cast<uint64_t>(start) <= file.size(), "the pixels start past the file");
  if (compression == 1 || compression == 2) {
    check(runLengthLoopStaysInside(Reader{file, static_cast<size_t>(start)}, width, height,
                                   compression == 2),
          "the loader's run-length loop leaves the bitmap or the file");
    return;
  }
  uint32_t readBits = bits;
  if (compression == 3) readBits = little(file, headerEnd + 8, 4) == 0xFF ? 32 : 16;
  const uint64_t rowBytes = (uint64_t{width} * readBits + 31) / 32 * 4;
  check(static_cast<uint64_t>(start) + rowBytes * height <= file.size(),
        "the loader reads past the file");
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (install_allegro(SYSTEM_NONE, &errno, std::atexit) != 0) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> file(data, size);
  const BitmapFileState state = checkBitmapBytes(file);
  BITMAP* bitmap = decodePicture(file, 16);
  check((bitmap != nullptr) == (state == BitmapFileState::Readable),
        "the check and the loader disagree");
  if (!bitmap) return 0;
  replayLoader(file);
  const bool os2 = little(file, 14, 4) == 12;
  check(bitmap->w == static_cast<int>(os2 ? little(file, 18, 2) : little(file, 18, 4)) &&
            bitmap->h == static_cast<int>(os2 ? little(file, 20, 2) : little(file, 22, 4)),
        "the picture is not the header's size");
  destroy_bitmap(bitmap);
  return 0;
}
