// The three setting flags of one run; switched on the options screen, never saved.
#pragma once
#include <cstdint>

extern uint8_t musicEnabled;
extern uint8_t soundEnabled;
extern uint8_t gamepadEnabled;
