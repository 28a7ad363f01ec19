#include "app/Settings.h"

uint8_t musicEnabled = 1;
uint8_t soundEnabled = 1;
uint8_t gamepadEnabled = 0;
