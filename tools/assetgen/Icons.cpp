// The desktop icons: the four blocks of the game, painted by the same code as the game's art at
// large sizes and as hand-sized pixel blocks where a bevel and an outlined symbol would blur.
#include <allegro.h>
#include <png.h>

#include <cstdio>

#include "Art.h"
#include "Desktop.h"

namespace {
// The blocks stand in reading order red, green, blue, yellow: the order of the title logo.
constexpr int kIconColors[4] = {0, 1, 2, 3};

// The block symbols drawn pixel by pixel for a block of 10 or 11 pixels, whose face leaves 5x5:
// circle, triangle, square, diamond as in the game.
constexpr const char* kSmallSymbols[4][5] = {
    {".###.", "#####", "#####", "#####", ".###."},
    {"..#..", "..#..", ".###.", ".###.", "#####"},
    {"#####", "#####", "#####", "#####", "#####"},
    {"..#..", ".###.", "#####", ".###.", "..#.."},
};

bool smallSymbolAt(int color, int i, int j) {
  return i >= 0 && j >= 0 && i < 5 && j < 5 && kSmallSymbols[color][j][i] == '#';
}

// A block of a few pixels: dark outline with cut corners, lit top and left, shaded bottom and
// right. From 10 pixels on it carries its symbol, light with a dark edge; below that a symbol
// would be a smudge, and the colours alone tell the blocks apart.
void paintSmallBlock(BITMAP* bmp, int x, int y, int size, int color) {
  Rgb base = pal::kBlockColors[color];
  Rgb rim = shade(base, 0.32), fill = lighten(base, 0.8);
  int symbolAt = (size - 5) / 2;
  for (int j = 0; j < size; ++j)
    for (int i = 0; i < size; ++i) {
      int ex = std::min(i, size - 1 - i), ey = std::min(j, size - 1 - j);
      if (ex == 0 && ey == 0) continue;  // the rounded corner
      Rgb c = base;
      if (ex == 0 || ey == 0)
        c = rim;
      else if (j == 1)
        c = lighten(base, 0.45);
      else if (i == 1)
        c = lighten(base, 0.25);
      else if (j == size - 2)
        c = shade(base, 0.7);
      else if (i == size - 2)
        c = shade(base, 0.82);
      if (size >= 10) {
        int u = i - symbolAt, v = j - symbolAt;
        if (smallSymbolAt(color, u, v))
          c = fill;
        else if (ex > 1 && ey > 1 &&
                 (smallSymbolAt(color, u - 1, v) || smallSymbolAt(color, u + 1, v) ||
                  smallSymbolAt(color, u, v - 1) || smallSymbolAt(color, u, v + 1)))
          c = mix(base, rim, 0.7);
      }
      put(bmp, x + i, y + j, c);
    }
}

BITMAP* paintIcon(int size) {
  BITMAP* bmp = newPicture(size, size);
  if (!bmp) return nullptr;
  IconLayout l = iconLayout(size);
  for (int k = 0; k < 4; ++k) {
    int x = l.blockX(k), y = l.blockY(k);
    if (size < 32)
      paintSmallBlock(bmp, x, y, l.block, kIconColors[k]);
    else
      paintBlock(bmp, x, y, l.block, kIconColors[k]);
  }
  return bmp;
}
}  // namespace

// Every size keeps transparent air around the blocks, as the hicolor theme's guidelines ask, so
// the icon never runs into its neighbours in a menu or a dock: a pixel at the small sizes, a
// sixteenth of the size from 32 on. At 22 and 24 the blocks touch, as they do on the board, to
// leave their symbols room.
IconLayout iconLayout(int size) {
  int margin = std::max(1, size / 16);
  if (size < 22) return {margin, 2, (size - 2 * margin - 2) / 2};
  if (size < 32) return {margin, 0, (size - 2 * margin) / 2};
  int gap = std::max(2, size / 24);
  return {margin, gap, (size - 2 * margin - gap) / 2};
}

std::vector<uint8_t> drawIcon(int size) {
  std::vector<uint8_t> rgba;
  if (size <= 0 || !startArtAllegro()) return rgba;
  BITMAP* bmp = paintIcon(size);
  if (!bmp) return rgba;
  rgba.resize(static_cast<size_t>(size) * size * 4);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      uint8_t* px = &rgba[(static_cast<size_t>(y) * size + x) * 4];
      if (isKey(bmp, x, y)) continue;  // stays 0, 0, 0, 0: fully transparent
      Rgb c = get(bmp, x, y);
      px[0] = static_cast<uint8_t>(c.r);
      px[1] = static_cast<uint8_t>(c.g);
      px[2] = static_cast<uint8_t>(c.b);
      px[3] = 255;
    }
  destroy_bitmap(bmp);
  return rgba;
}

namespace {
// libpng reports its errors by longjmp back here; nothing with a destructor lives in this frame
// and nothing set after the setjmp is read after the jump.
bool encodePng(std::FILE* file, png_structp png, png_infop info, const uint8_t* rgba, int width,
               int height) {
  if (setjmp(png_jmpbuf(png)) != 0) return false;
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y) png_write_row(png, rgba + static_cast<size_t>(y) * width * 4);
  png_write_end(png, nullptr);
  return true;
}
}  // namespace

bool writePng(const std::string& path, const std::vector<uint8_t>& rgba, int width, int height) {
  if (width <= 0 || height <= 0 || rgba.size() != static_cast<size_t>(width) * height * 4)
    return false;
  const std::string temporary = path + ".tmp";
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  if (!file) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  bool ok = png && info && encodePng(file, png, info, rgba.data(), width, height);
  png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
  ok = std::fclose(file) == 0 && ok;
  if (!ok || std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

bool writeWholeFile(const std::string& path, const std::string& bytes) {
  const std::string temporary = path + ".tmp";
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  if (!file) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  ok = std::fclose(file) == 0 && ok;
  if (!ok || std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

bool generateIcons(const std::string& folder) {
  for (int size : kIconSizes) {
    std::string path = folder + "/icon-" + std::to_string(size) + ".png";
    if (!writePng(path, drawIcon(size), size, size)) {
      std::fprintf(stderr, "zeph-assetgen: cannot write %s\n", path.c_str());
      return false;
    }
  }
  const std::string svg = folder + "/icon.svg";
  if (!writeWholeFile(svg, svgIcon())) {
    std::fprintf(stderr, "zeph-assetgen: cannot write %s\n", svg.c_str());
    return false;
  }
  return true;
}

bool writeWindowIcon(const std::string& path) {
  std::string pam;
  for (int size : kWindowIconSizes) {
    std::vector<uint8_t> rgba = drawIcon(size);
    if (rgba.empty()) return false;
    const std::string side = std::to_string(size);
    pam += "P7\nWIDTH " + side + "\nHEIGHT " + side +
           "\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
    pam.append(rgba.begin(), rgba.end());
  }
  return writeWholeFile(path, pam);
}
