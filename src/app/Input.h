// The input devices every screen reads: Allegro's key[] array and the first gamepad.
#pragma once

// Gamepad queries: false (or -1) whenever gamepadEnabled is clear.
bool padUp();
bool padDown();
bool padLeft();
bool padRight();
int padButton();

// Called once at the start of every tick that reads input: keeps the pad in step with its
// device (see PadHotplug.h), then polls it, only when the pad is on.
void pollGamepad();

// Logical inputs: down when any of their sources is.
bool confirmDown();  // pad button, Enter, Space
bool escapeDown();   // Esc
bool upDown();       // pad up, Up
bool downDown();     // pad down, Down
bool leftDown();     // pad left, Left
bool rightDown();    // pad right, Right
