// Checks of the generated pictures in the game folder: names, sheet layouts, transparency and
// the places the screens cut them at.
#include <allegro.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "support/FixtureBitmaps.h"

namespace {
std::string gamePath(const std::string& name) { return std::string(ZEPH_GAME_DIR) + "/" + name; }

const char* const kAllPictures[] = {
    "alpha.bmp",     "blocks.bmp",   "leveln.bmp", "level.bmp",       "Logo.bmp",
    "playfield.bmp", "flash.bmp",    "BG.bmp",     "superplayer.bmp", "combo.bmp",
    "Life.bmp",      "gameover.bmp", "ready.bmp",  "go.bmp",          "LOADER.BMP",
    "GAMEPAD.BMP",   "kvelmar.bmp",  "menu.bmp",   "pageflip.bmp",    "highscore.bmp"};

// Loads a picture converted to `depth`, as the game does at 16 and as the file holds it at 24.
BitmapPtr loadAt(const std::string& name, int depth) {
  int previous = get_color_depth();
  set_color_depth(depth);
  BitmapPtr bitmap(load_bitmap(gamePath(name).c_str(), nullptr));
  set_color_depth(previous);
  return bitmap;
}
BitmapPtr load24(const std::string& name) { return loadAt(name, 24); }

bool isKey(BITMAP* bmp, int x, int y) { return pixelAt(bmp, x, y) == kMagenta; }

// Bounds of the drawn (non-magenta) pixels of a rectangle, relative to its corner.
struct Visible {
  int count = 0;
  int left = 1 << 20, top = 1 << 20, right = -1, bottom = -1;
  double sumX = 0;
  double sumR = 0, sumG = 0, sumB = 0;
  double centroidX() const { return sumX / count; }
  Rgb mean() const {
    return {static_cast<int>(sumR / count), static_cast<int>(sumG / count),
            static_cast<int>(sumB / count)};
  }
};

Visible visibleIn(BITMAP* bmp, int x, int y, int w, int h) {
  Visible v;
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i) {
      if (isKey(bmp, x + i, y + j)) continue;
      Rgb c = pixelAt(bmp, x + i, y + j);
      ++v.count;
      v.left = std::min(v.left, i);
      v.right = std::max(v.right, i);
      v.top = std::min(v.top, j);
      v.bottom = std::max(v.bottom, j);
      v.sumX += i;
      v.sumR += c.r;
      v.sumG += c.g;
      v.sumB += c.b;
    }
  return v;
}

// Number of pixels in which two same-sized rectangles differ.
int differingPixels(BITMAP* a, int ax, int ay, BITMAP* b, int bx, int by, int w, int h) {
  int n = 0;
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i)
      if (!(pixelAt(a, ax + i, ay + j) == pixelAt(b, bx + i, by + j))) ++n;
  return n;
}

double distance(Rgb a, Rgb b) {
  return std::sqrt(
      double((a.r - b.r) * (a.r - b.r) + (a.g - b.g) * (a.g - b.g) + (a.b - b.b) * (a.b - b.b)));
}
double luminance(Rgb c) { return 0.299 * c.r + 0.587 * c.g + 0.114 * c.b; }

int nearest(Rgb c, const std::vector<Rgb>& candidates) {
  int best = 0;
  for (int k = 1; k < static_cast<int>(candidates.size()); ++k)
    if (distance(c, candidates[k]) < distance(c, candidates[best])) best = k;
  return best;
}

// The body colour of each block, in colour order: the face's four corners, clear of the bevel
// and of the symbol in the middle.
std::vector<Rgb> blockColours(BITMAP* blocks) {
  std::vector<Rgb> colours;
  for (int n = 0; n < 4; ++n) {
    int r = 0, g = 0, b = 0;
    for (int cx : {5, 24})
      for (int cy : {5, 24})
        for (int j = 0; j < 3; ++j)
          for (int i = 0; i < 3; ++i) {
            Rgb c = pixelAt(blocks, cx + i, 32 * n + cy + j);
            r += c.r, g += c.g, b += c.b;
          }
    colours.push_back({r / 36, g / 36, b / 36});
  }
  return colours;
}

// Where the brightness jumps inside a rectangle: the outline of what is drawn there, whatever
// its colour, so two shapes can be compared as a colour-blind player sees them.
std::vector<bool> brightnessEdges(BITMAP* bmp, int x, int y, int w, int h) {
  std::vector<bool> edges;
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i) {
      double here = luminance(pixelAt(bmp, x + i, y + j));
      double right = luminance(pixelAt(bmp, x + i + 1, y + j));
      double below = luminance(pixelAt(bmp, x + i, y + j + 1));
      edges.push_back(std::fabs(here - right) > 40 || std::fabs(here - below) > 40);
    }
  return edges;
}

int countDifferent(const std::vector<bool>& a, const std::vector<bool>& b) {
  int n = 0;
  for (size_t i = 0; i < a.size(); ++i) n += a[i] != b[i];
  return n;
}
}  // namespace

TEST(ArtFiles, EveryPictureIsA24BitBmpUnderItsExactName) {
  for (const char* name : kAllPictures) {
    SCOPED_TRACE(name);
    std::FILE* file = std::fopen(gamePath(name).c_str(), "rb");
    ASSERT_NE(file, nullptr) << "missing";
    unsigned char header[30] = {};
    size_t read = std::fread(header, 1, sizeof header, file);
    std::fclose(file);
    ASSERT_EQ(read, sizeof header);
    EXPECT_EQ(header[0], 'B');
    EXPECT_EQ(header[1], 'M');
    EXPECT_EQ(header[28] | header[29] << 8, 24) << "bits per pixel";
    EXPECT_NE(load24(name), nullptr);
  }
}

TEST(ArtFiles, SizesFitTheLayoutsAndPlacesTheyAreDrawnAt) {
  struct Rule {
    const char* name;
    int minW, maxW, minH, maxH;
    const char* why;
  };
  const Rule rules[] = {
      {"playfield.bmp", 320, 320, 240, 240, "full-screen background"},
      {"BG.bmp", 320, 320, 240, 240, "full-screen background"},
      {"alpha.bmp", 864, 864, 64, 64, "27 cells of 32, two rows"},
      {"blocks.bmp", 64, 64, 128, 128, "2 columns x 4 colours"},
      {"leveln.bmp", 352, 4096, 32, 4096, "11 cells of 32"},
      {"flash.bmp", 160, 160, 238, 240, "5 frames reaching the cannon at y 206..237"},
      {"menu.bmp", 2, 294, 160, 160, "5 rows; halves at x 16 clear of the logo at 163"},
      {"Logo.bmp", 1, 157, 1, 92, "at (163, 116), right of the menu, above the credit at 208"},
      {"GAMEPAD.BMP", 1, 96, 96, 96, "3 rows; caption at x 5 clear of the state at 101"},
      {"LOADER.BMP", 2, 320, 96, 96, "3 rows, the title centred"},
      {"highscore.bmp", 1, 320, 64, 64, "2 rows, the title centred"},
      {"kvelmar.bmp", 1, 320, 1, 32, "credit line at y 208"},
      {"pageflip.bmp", 2, 160, 1, 64, "two arrows in the bottom corners"},
      {"Life.bmp", 32, 32, 32, 32, "one 32x32 icon"},
      {"ready.bmp", 1, 320, 1, 180, "centred at y 60"},
      {"go.bmp", 1, 320, 1, 180, "centred at y 60"},
      {"gameover.bmp", 1, 320, 1, 240, "centred"},
      {"superplayer.bmp", 1, 320, 1, 240, "centred"},
      {"level.bmp", 1, 320, 1, 32, "caption at (162, 3)"},
      {"combo.bmp", 1, 320, 1, 32, "caption at (163, 162)"},
  };
  for (const Rule& rule : rules) {
    SCOPED_TRACE(std::string(rule.name) + ": " + rule.why);
    BitmapPtr bmp = load24(rule.name);
    ASSERT_NE(bmp, nullptr);
    EXPECT_GE(bmp->w, rule.minW);
    EXPECT_LE(bmp->w, rule.maxW);
    EXPECT_GE(bmp->h, rule.minH);
    EXPECT_LE(bmp->h, rule.maxH);
  }
  BitmapPtr menu = load24("menu.bmp");
  ASSERT_NE(menu, nullptr);
  EXPECT_LE(menu->w / 2, 147);
}

TEST(ArtFiles, BackgroundsAreOpaque) {
  for (const char* name : {"playfield.bmp", "BG.bmp"}) {
    SCOPED_TRACE(name);
    BitmapPtr bmp = load24(name);
    ASSERT_NE(bmp, nullptr);
    EXPECT_EQ(countPixels(bmp.get(), kMagenta), 0);
  }
}

// The game loads every picture at 16 bits; a colour close to magenta would turn into the mask
// colour there and show a hole, and magenta must stay the mask.
TEST(ArtFiles, OnlyMagentaBecomesTheMaskColourAtSixteenBits) {
  for (const char* name : kAllPictures) {
    SCOPED_TRACE(name);
    BitmapPtr wide = load24(name), narrow = loadAt(name, 16);
    ASSERT_NE(wide, nullptr);
    ASSERT_NE(narrow, nullptr);
    int mask16 = bitmap_mask_color(narrow.get()), mismatches = 0;
    for (int y = 0; y < wide->h; ++y)
      for (int x = 0; x < wide->w; ++x)
        if (isKey(wide.get(), x, y) != (getpixel(narrow.get(), x, y) == mask16)) ++mismatches;
    EXPECT_EQ(mismatches, 0);
  }
}

// Pictures drawn whole over other art must not paint a rectangle: their corners stay see-through.
TEST(ArtFiles, PicturesDrawnWholeHaveTransparentCorners) {
  for (const char* name : {"Logo.bmp", "level.bmp", "combo.bmp", "Life.bmp", "ready.bmp", "go.bmp",
                           "gameover.bmp", "superplayer.bmp", "kvelmar.bmp", "pageflip.bmp"}) {
    SCOPED_TRACE(name);
    BitmapPtr bmp = load24(name);
    ASSERT_NE(bmp, nullptr);
    int w = bmp->w, h = bmp->h;
    EXPECT_TRUE(isKey(bmp.get(), 0, 0));
    EXPECT_TRUE(isKey(bmp.get(), w - 1, 0));
    EXPECT_TRUE(isKey(bmp.get(), 0, h - 1));
    EXPECT_TRUE(isKey(bmp.get(), w - 1, h - 1));
    EXPECT_GT(visibleIn(bmp.get(), 0, 0, w, h).count, w * h / 20) << "hardly anything drawn";
  }
}

// Numbers and initials are drawn 24 pixels apart from 32-pixel cells: each glyph keeps to the
// first 24 columns of its cell, so a neighbour drawn over its last 8 columns covers nothing.
TEST(ArtFiles, GlyphCellsKeepWithinTheTwentyFourPixelAdvance) {
  struct Strip {
    const char* name;
    int row, cells, wideCell;  // wideCell: the cell allowed the full 32 pixels, or -1
  };
  const Strip strips[] = {
      {"leveln.bmp", 0, 11, 9}, {"alpha.bmp", 0, 27, -1}, {"alpha.bmp", 1, 27, -1}};
  for (const Strip& strip : strips) {
    BitmapPtr bmp = load24(strip.name);
    ASSERT_NE(bmp, nullptr);
    for (int cell = 0; cell < strip.cells; ++cell) {
      SCOPED_TRACE(std::string(strip.name) + " row " + std::to_string(strip.row) + " cell " +
                   std::to_string(cell));
      int x = 32 * cell, y = 32 * strip.row;
      EXPECT_GT(visibleIn(bmp.get(), x, y, 32, 32).count, 10) << "empty glyph";
      if (cell != strip.wideCell) {
        EXPECT_EQ(visibleIn(bmp.get(), x + 24, y, 8, 32).count, 0);
      }
      for (int other = 0; other < cell; ++other)
        EXPECT_GT(differingPixels(bmp.get(), x, y, bmp.get(), 32 * other, y, 32, 32), 20)
            << "same glyph as cell " << other;
    }
  }
  BitmapPtr alpha = load24("alpha.bmp");
  ASSERT_NE(alpha, nullptr);
  for (int cell = 0; cell < 27; ++cell)
    EXPECT_GT(differingPixels(alpha.get(), 32 * cell, 0, alpha.get(), 32 * cell, 32, 32, 32), 20)
        << "highlighted and plain forms of cell " << cell << " look the same";
}

// The digit strip is not in counting order: 1 to 9, then 10, then 0 last.
TEST(ArtFiles, DigitStripHoldsOneToNineThenTenThenZero) {
  BitmapPtr leveln = load24("leveln.bmp");
  ASSERT_NE(leveln, nullptr);
  auto width = [&](int cell) {
    Visible v = visibleIn(leveln.get(), 32 * cell, 0, 32, 32);
    return v.right - v.left + 1;
  };
  EXPECT_LT(width(0), width(10)) << "cell 0 is the narrow 1, cell 10 the round 0";
  for (int cell = 0; cell < 11; ++cell)
    if (cell != 9) {
      EXPECT_GT(width(9), width(cell)) << "the two-digit 10 is the widest, cell " << cell;
    }
  EXPECT_LE(width(9), 32);
}

// Cell 0 of the letters is the dot after each rank digit and of unset initials: small and low.
TEST(ArtFiles, LetterCellZeroIsALowDot) {
  BitmapPtr alpha = load24("alpha.bmp");
  ASSERT_NE(alpha, nullptr);
  for (int row = 0; row < 2; ++row) {
    Visible dot = visibleIn(alpha.get(), 0, 32 * row, 32, 32);
    Visible letter = visibleIn(alpha.get(), 32, 32 * row, 32, 32);  // A
    ASSERT_GT(dot.count, 0);
    EXPECT_LT(dot.bottom - dot.top, (letter.bottom - letter.top) / 2);
    EXPECT_GT(dot.top, 16);
    EXPECT_LT(dot.count, letter.count / 2);
  }
}

// Captions drawn beside a glyph must end before it: pixels from `freeFrom` (relative to the
// picture) onward would be covered or would crowd the digit.
TEST(ArtFiles, CaptionsLeaveRoomForTheGlyphBesideThem) {
  struct Caption {
    const char* name;
    int y, h, freeFrom;
    const char* why;
  };
  const Caption captions[] = {
      {"level.bmp", 0, 32, 274 - 162, "level digit at x 274, caption at 162"},
      {"combo.bmp", 0, 32, 274 - 163, "combo digit at x 274, caption at 163"},
      {"highscore.bmp", 32, 32, 192 - 101, "rank digit at x 192, caption at 101"},
  };
  for (const Caption& c : captions) {
    SCOPED_TRACE(std::string(c.name) + ": " + c.why);
    BitmapPtr bmp = load24(c.name);
    ASSERT_NE(bmp, nullptr);
    Visible v = visibleIn(bmp.get(), 0, c.y, bmp->w, c.h);
    ASSERT_GT(v.count, 0);
    EXPECT_LT(v.right, c.freeFrom);
  }
}

// Menu-like sheets: each row shown highlighted in its left half and plain in its right half.
TEST(ArtFiles, MenuRowsHaveAHighlightedAndAPlainHalf) {
  struct Sheet {
    const char* name;
    int rows;
  };
  for (const Sheet& sheet : {Sheet{"menu.bmp", 5}, Sheet{"LOADER.BMP", 2}}) {
    BitmapPtr bmp = load24(sheet.name);
    ASSERT_NE(bmp, nullptr);
    int half = bmp->w / 2;
    for (int row = 0; row < sheet.rows; ++row) {
      SCOPED_TRACE(std::string(sheet.name) + " row " + std::to_string(row));
      EXPECT_GT(visibleIn(bmp.get(), 0, 32 * row, half, 32).count, 50);
      EXPECT_GT(visibleIn(bmp.get(), half, 32 * row, half, 32).count, 50);
      EXPECT_GT(differingPixels(bmp.get(), 0, 32 * row, bmp.get(), half, 32 * row, half, 32), 50);
      for (int other = 0; other < row; ++other)
        EXPECT_GT(differingPixels(bmp.get(), 0, 32 * row, bmp.get(), 0, 32 * other, half, 32), 50);
    }
  }
  BitmapPtr loader = load24("LOADER.BMP");
  ASSERT_NE(loader, nullptr);
  EXPECT_GT(visibleIn(loader.get(), 0, 64, loader->w, 32).count, 100) << "the title row";
}

TEST(ArtFiles, GamepadRowsAreCaptionOnAndOff) {
  BitmapPtr pad = load24("GAMEPAD.BMP");
  ASSERT_NE(pad, nullptr);
  for (int row = 0; row < 3; ++row)
    EXPECT_GT(visibleIn(pad.get(), 0, 32 * row, pad->w, 32).count, 50) << "row " << row;
  EXPECT_GT(differingPixels(pad.get(), 0, 32, pad.get(), 0, 64, pad->w, 32), 50)
      << "on and off look alike";
}

// A triangle's mass lies toward its broad end, away from the tip it points with.
TEST(ArtFiles, PageArrowsPointToTheirSides) {
  BitmapPtr flip = load24("pageflip.bmp");
  ASSERT_NE(flip, nullptr);
  int half = flip->w / 2;
  Visible previous = visibleIn(flip.get(), 0, 0, half, flip->h);
  Visible next = visibleIn(flip.get(), half, 0, half, flip->h);
  ASSERT_GT(previous.count, 0);
  ASSERT_GT(next.count, 0);
  EXPECT_GT(previous.centroidX(), (previous.left + previous.right) / 2.0) << "points left";
  EXPECT_LT(next.centroidX(), (next.left + next.right) / 2.0) << "points right";
}

TEST(ArtFiles, BlockColoursAreDistinctAndCannonsMatchThem) {
  BitmapPtr blocks = load24("blocks.bmp");
  ASSERT_NE(blocks, nullptr);
  std::vector<Rgb> colours = blockColours(blocks.get());
  for (int a = 0; a < 4; ++a)
    for (int b = 0; b < a; ++b)
      EXPECT_GT(distance(colours[a], colours[b]), 80) << "blocks " << a << " and " << b;
  for (int n = 0; n < 4; ++n) {
    SCOPED_TRACE("cannon " + std::to_string(n));
    // Rows 18 to 31 of the cannon (y 224..237) stay visible under a bottom-row block.
    Visible below = visibleIn(blocks.get(), 32, 32 * n + 18, 32, 14);
    EXPECT_GT(below.count, 32 * 14 * 6 / 10);
    EXPECT_EQ(nearest(visibleIn(blocks.get(), 32, 32 * n + 14, 32, 14).mean(), colours), n);
  }
}

// Each colour also carries its own symbol: with colour taken away, the shapes still differ.
TEST(ArtFiles, BlocksAndCannonsDifferInShapeNotOnlyColour) {
  BitmapPtr blocks = load24("blocks.bmp");
  ASSERT_NE(blocks, nullptr);
  struct Area {
    const char* what;
    int x, y, w, h;
  };
  // Inside the bevels, where only the symbol and the face are.
  for (Area area : {Area{"block", 6, 6, 20, 20}, Area{"cannon", 40, 13, 16, 12}}) {
    std::vector<std::vector<bool>> edges;
    for (int n = 0; n < 4; ++n)
      edges.push_back(brightnessEdges(blocks.get(), area.x, 32 * n + area.y, area.w, area.h));
    for (int a = 0; a < 4; ++a)
      for (int b = 0; b < a; ++b)
        EXPECT_GT(countDifferent(edges[a], edges[b]), 20) << area.what << "s " << a << " and " << b;
  }
}

TEST(ArtFiles, BeamFramesRunFromTheTopToTheCannonInTheirColours) {
  BitmapPtr flash = load24("flash.bmp"), blocks = load24("blocks.bmp");
  ASSERT_NE(flash, nullptr);
  ASSERT_NE(blocks, nullptr);
  std::vector<Rgb> colours = blockColours(blocks.get());
  double restBrightest = 0;
  for (int frame = 0; frame < 5; ++frame) {
    SCOPED_TRACE("frame " + std::to_string(frame));
    for (int y : {0, 100, 206})
      EXPECT_GT(visibleIn(flash.get(), 32 * frame, y, 32, 1).count, 0) << "gap at y " << y;
    Visible top = visibleIn(flash.get(), 32 * frame, 0, 32, 1);
    EXPECT_LT(top.right - top.left + 1, 32) << "a beam, not a filled column";
    Visible beam = visibleIn(flash.get(), 32 * frame, 0, 32, flash->h);
    if (frame < 4) {
      EXPECT_EQ(nearest(beam.mean(), colours), frame);
      restBrightest = std::max(restBrightest, luminance(beam.mean()));
    } else {
      EXPECT_GT(luminance(beam.mean()), restBrightest) << "the shot outshines every resting beam";
    }
  }
}
