// What an install adds around the game folder: the desktop icons, drawn from the game's own
// blocks, and the default high score file.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The sizes of the hicolor theme the icons are drawn at.
inline constexpr int kIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

// The icon as size x size straight RGBA pixels, row by row: one block of each colour in a 2x2
// square, transparent around them. Small sizes get a simpler pixel drawing of the same blocks.
std::vector<uint8_t> drawIcon(int size);

// Writes 8-bit RGBA pixels as a PNG; false on any failure, and no partial file is left.
bool writePng(const std::string& path, const std::vector<uint8_t>& rgba, int width, int height);

// Writes icon-N.png for every size into folder (which exists).
bool generateIcons(const std::string& folder);

// Writes the default tables as a high score file. With keepExisting, a file already at path is
// left untouched (a player's scores are never replaced); returns true then as well.
bool writeDefaultHighScores(const std::string& path, bool keepExisting);
