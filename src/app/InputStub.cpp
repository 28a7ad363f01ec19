// Placeholder until the input layer lands.
#include <allegro.h>

#include "app/Input.h"

bool padUp() { return false; }
bool padDown() { return false; }
bool padLeft() { return false; }
bool padRight() { return false; }
int padButton() { return -1; }
void pollGamepad() {}
bool confirmDown() { return key[KEY_ENTER] || key[KEY_SPACE]; }
bool escapeDown() { return key[KEY_ESC]; }
bool upDown() { return key[KEY_UP]; }
bool downDown() { return key[KEY_DOWN]; }
bool leftDown() { return key[KEY_LEFT]; }
bool rightDown() { return key[KEY_RIGHT]; }
