// Fixture bitmaps for drawing tests, made in memory at 16 or 32 bits.
#include "support/FixtureBitmaps.h"

#include <allegro.h>

#include <utility>

namespace {
// Allegro's own 5-bit and 6-bit to 8-bit scaling, so that a colour made from these levels
// survives makecol16 and getr16/getg16/getb16 unchanged.
int scale5(int level) { return _rgb_scale_5[level]; }
int scale6(int level) { return _rgb_scale_6[level]; }

int colourOf(BITMAP* bitmap, Rgb colour) {
  return makecol_depth(bitmap_color_depth(bitmap), colour.r, colour.g, colour.b);
}

void drawMaskedCell(BITMAP* bitmap, int x, int y, int width, int height, Rgb colour) {
  rectfill(bitmap, x, y, x + width - 1, y + height - 1, colourOf(bitmap, kMagenta));
  if (width > 2 && height > 2)
    rectfill(bitmap, x + 1, y + 1, x + width - 2, y + height - 2, colourOf(bitmap, colour));
}
}  // namespace

std::ostream& operator<<(std::ostream& out, const Rgb& colour) {
  return out << "rgb(" << colour.r << ", " << colour.g << ", " << colour.b << ")";
}

Rgb distinctColour(int index) {
  // Red and green together number the colour; blue stays mid-range, so no colour is black,
  // white or magenta.
  int red = 2 + index % 28;
  int green = 2 + (index / 28) % 60;
  return Rgb{scale5(red), scale6(green), scale5(12 + index % 7)};
}

void BitmapDeleter::operator()(BITMAP* bitmap) const {
  if (bitmap) destroy_bitmap(bitmap);
}

BitmapPtr makeSolidBitmap(int width, int height, Rgb colour, int depth) {
  BitmapPtr bitmap(create_bitmap_ex(depth, width, height));
  if (bitmap) clear_to_color(bitmap.get(), colourOf(bitmap.get(), colour));
  return bitmap;
}

BitmapPtr makePicture(int width, int height, Rgb colour, int depth) {
  BitmapPtr bitmap(create_bitmap_ex(depth, width, height));
  if (bitmap) drawMaskedCell(bitmap.get(), 0, 0, width, height, colour);
  return bitmap;
}

Rgb sheetCellColour(int firstColour, int columns, int column, int row) {
  return distinctColour(firstColour + row * columns + column);
}

BitmapPtr makeCellSheet(int columns, int rows, int firstColour, int depth) {
  BitmapPtr bitmap(create_bitmap_ex(depth, 32 * columns, 32 * rows));
  if (!bitmap) return bitmap;
  for (int row = 0; row < rows; ++row)
    for (int column = 0; column < columns; ++column)
      drawMaskedCell(bitmap.get(), 32 * column, 32 * row, 32, 32,
                     sheetCellColour(firstColour, columns, column, row));
  return bitmap;
}

BitmapPtr makeFrameStrip(int frames, int frameWidth, int height, int firstColour, int depth) {
  BitmapPtr bitmap(create_bitmap_ex(depth, frames * frameWidth, height));
  if (!bitmap) return bitmap;
  for (int k = 0; k < frames; ++k)
    rectfill(bitmap.get(), k * frameWidth, 0, (k + 1) * frameWidth - 1, height - 1,
             colourOf(bitmap.get(), distinctColour(firstColour + k)));
  return bitmap;
}

Rgb pixelAt(BITMAP* bitmap, int x, int y) {
  int depth = bitmap_color_depth(bitmap);
  int pixel = getpixel(bitmap, x, y);
  return Rgb{getr_depth(depth, pixel), getg_depth(depth, pixel), getb_depth(depth, pixel)};
}

void putPixel(BITMAP* bitmap, int x, int y, Rgb colour) {
  putpixel(bitmap, x, y, colourOf(bitmap, colour));
}

int countPixels(BITMAP* bitmap, Rgb colour, int x, int y, int width, int height) {
  int count = 0;
  for (int row = y; row < y + height; ++row)
    for (int column = x; column < x + width; ++column)
      if (pixelAt(bitmap, column, row) == colour) ++count;
  return count;
}

int countPixels(BITMAP* bitmap, Rgb colour) {
  return countPixels(bitmap, colour, 0, 0, bitmap->w, bitmap->h);
}

ScopedGlobalBitmap::ScopedGlobalBitmap(BITMAP*& slot, BitmapPtr bitmap)
    : slot_(slot), previous_(slot), bitmap_(std::move(bitmap)) {
  slot_ = bitmap_.get();
}

ScopedGlobalBitmap::~ScopedGlobalBitmap() { slot_ = previous_; }
