// The high score viewer: one mode's table per page, opened from the menu and after a game.
#pragma once
#include <cstdint>

void runHighScoreViewer(int16_t firstPage);
