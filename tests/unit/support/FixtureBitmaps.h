// Small bitmaps for drawing tests: sheets of solid 32x32 cells in distinct colours with magenta
// borders, solid pictures, pixel reads as r,g,b, and scoped stand-ins for the global bitmaps.
#pragma once
#include <memory>
#include <ostream>

struct BITMAP;

struct Rgb {
  int r = 0;
  int g = 0;
  int b = 0;
  bool operator==(const Rgb&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Rgb& colour);

inline constexpr Rgb kBlack{0, 0, 0};
inline constexpr Rgb kWhite{255, 255, 255};
inline constexpr Rgb kMagenta{255, 0, 255};

// Colour number `index` (0 to 1679) of a family of opaque colours that differ from each other and
// from black, white and magenta, and that read back unchanged from 16-bit (5-6-5) and 32-bit
// bitmaps. Give each fixture bitmap its own range of indexes so every cell can be told apart.
Rgb distinctColour(int index);

struct BitmapDeleter {
  void operator()(BITMAP* bitmap) const;
};
using BitmapPtr = std::unique_ptr<BITMAP, BitmapDeleter>;

// A memory bitmap at `depth` (16 or 32) filled with one colour.
BitmapPtr makeSolidBitmap(int width, int height, Rgb colour, int depth = 16);

// A picture drawn whole: filled with `colour` inside a one-pixel magenta border, so a test can
// tell both where it lies and that it was drawn masked.
BitmapPtr makePicture(int width, int height, Rgb colour, int depth = 16);

// A sheet of `columns` x `rows` 32x32 cells. Cell (column, row) is solid
// sheetCellColour(firstColour, columns, column, row) inside a one-pixel magenta border.
BitmapPtr makeCellSheet(int columns, int rows, int firstColour, int depth = 16);
Rgb sheetCellColour(int firstColour, int columns, int column, int row);

// A strip of `frames` frames, each `frameWidth` wide and `height` high; frame k is solid
// distinctColour(firstColour + k), with no mask pixels.
BitmapPtr makeFrameStrip(int frames, int frameWidth, int height, int firstColour, int depth = 16);

// The colour at (x, y) in the bitmap's own depth, read through Allegro's getpixel.
Rgb pixelAt(BITMAP* bitmap, int x, int y);
// Writes one pixel in the bitmap's own depth.
void putPixel(BITMAP* bitmap, int x, int y, Rgb colour);
// Pixels of the rectangle (whole bitmap by default) that hold `colour`.
int countPixels(BITMAP* bitmap, Rgb colour);
int countPixels(BITMAP* bitmap, Rgb colour, int x, int y, int width, int height);

// Puts a fixture bitmap into one of the game's global bitmap handles (drawBuffer, blocksBmp, ...)
// for the life of the object, then destroys it and restores the previous handle.
class ScopedGlobalBitmap {
 public:
  ScopedGlobalBitmap(BITMAP*& slot, BitmapPtr bitmap);
  ~ScopedGlobalBitmap();
  ScopedGlobalBitmap(const ScopedGlobalBitmap&) = delete;
  ScopedGlobalBitmap& operator=(const ScopedGlobalBitmap&) = delete;
  BITMAP* get() const { return bitmap_.get(); }

 private:
  BITMAP*& slot_;
  BITMAP* previous_;
  BitmapPtr bitmap_;
};
