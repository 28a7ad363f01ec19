// What an install adds around the game folder: the desktop icons, drawn from the game's own
// blocks, and the default high score file; and the window's icon, drawn from the same blocks.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The sizes of the hicolor theme the icons are drawn at.
inline constexpr int kIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};
// The sizes the window's own icon carries: a taskbar picks the nearest.
inline constexpr int kWindowIconSizes[] = {16, 24, 32, 48, 64, 128};

// Where the four blocks of a size x size icon stand: block k (reading order) at blockX(k),
// blockY(k), each `block` pixels square, `gap` apart, `margin` clear of every edge.
struct IconLayout {
  int margin, gap, block;
  int blockX(int k) const { return margin + (k % 2) * (block + gap); }
  int blockY(int k) const { return margin + (k / 2) * (block + gap); }
};
IconLayout iconLayout(int size);

// The icon as size x size straight RGBA pixels, row by row: one block of each colour in a 2x2
// square, transparent around them. Small sizes get a simpler pixel drawing of the same blocks.
std::vector<uint8_t> drawIcon(int size);

// Writes 8-bit RGBA pixels as a PNG; false on any failure, and no partial file is left.
bool writePng(const std::string& path, const std::vector<uint8_t>& rgba, int width, int height);

// The scalable icon: the same blocks, bevels and symbols as vector shapes on a 256 x 256 canvas
// laid out as the 256-pixel icon.
std::string svgIcon();

// Writes icon-N.png for every size and icon.svg into folder (which exists).
bool generateIcons(const std::string& folder);

// Writes the window's icon (the game reads it from its data folder) as one PAM image a size.
bool writeWindowIcon(const std::string& path);

// Writes bytes to path through a temporary file renamed over it; false, and nothing left
// behind, on any failure.
bool writeWholeFile(const std::string& path, const std::string& bytes);

// Writes the default tables as a high score file. With keepExisting, a file already at path is
// left untouched (a player's scores are never replaced); returns true then as well.
bool writeDefaultHighScores(const std::string& path, bool keepExisting);
