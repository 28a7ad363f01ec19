// The first pad kept in step with its device node, so that it may be pulled out and plugged in
// while the game runs, and the J switch that says whether it is read.
#pragma once

// At start-up: installs Allegro's joystick driver; a pad found now is switched on.
void startGamepad();
// At shutdown: removes the driver and stops watching the node.
void stopGamepad();
// Once at the start of every tick that reads input, before the pad is polled: a pad pulled out
// is let go of at once (nothing it held stays down), a pad plugged in (again) is taken up
// within a second, switched on unless J switched the pad off.
void keepGamepadInStep();
// J on the options screen: flips gamepadEnabled; a pad plugged in later keeps the choice.
void switchGamepad();
