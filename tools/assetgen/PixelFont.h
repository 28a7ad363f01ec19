// The game's own bitmap font: 5x7 glyphs scaled with smoothed diagonals, drawn outlined,
// shadowed and gradient-filled.
#pragma once
#include <string_view>

#include "Canvas.h"

// Rows of a glyph in the 7-row design grid.
inline constexpr int kGlyphRows = 7;
// The narrow "1" that lets the number 10 fit in one 32-pixel cell.
inline constexpr char kNarrowOne = '\x01';

// The body of one character at sx x sy pixels per grid cell (no outline); empty for unknown
// characters. Spaces are blank masks of their own width.
Mask glyphMask(char c, int sx, int sy);
// A line of text: glyph bodies side by side, `gap` pixels apart.
Mask textMask(std::string_view text, int sx, int sy, int gap);

struct TextStyle {
  Gradient fill;  // top to bottom of the body
  Rgb outline;    // ring around the body
  int outlineWidth;
  Rgb shadow;  // drop shadow down-right of the outline; offset 0 for none
  int shadowOffset;
  double bevel;  // light top edge and dark bottom edge inside the body, 0..1
  Rgb glow{};    // ring outside the outline; width 0 for none
  int glowWidth = 0;
};

// Pixels the style adds left of / above the body, and right of / below it.
int styleLead(const TextStyle& s);
int styleTrail(const TextStyle& s);
// Draws body with its top-left corner at (x, y); the outline and glow reach styleLead() pixels
// further up and left, the shadow styleTrail() pixels further down and right.
void drawStyled(BITMAP* bmp, const Mask& body, int x, int y, const TextStyle& s);

// The shared text looks.
namespace styles {
TextStyle gold();      // highlighted captions and menu items
TextStyle silver();    // plain forms
TextStyle electric();  // numbers
TextStyle ember();     // game over
TextStyle lime();      // "GO!" and switched on
TextStyle ash();       // switched off
}  // namespace styles
