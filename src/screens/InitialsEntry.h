#pragma once
#include <cstdint>

extern int16_t lastInitials[3];

bool insertHighScore();
void runInitialsEntry(int16_t rank);
