#pragma once
#include <cstdint>

void runHighScoreViewer(int16_t firstPage);
