// The high score entry: a score that beats its table takes the player's initials.
#pragma once
#include <cstdint>

extern int16_t lastInitials[3];

bool insertHighScore();
void runInitialsEntry(int16_t rank);
