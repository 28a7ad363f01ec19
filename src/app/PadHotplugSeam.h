// Lets tests and benchmarks stand in for what the pad's hot-plug looks at: where the device
// node is, Allegro's joystick installer and the clock.
#pragma once
#include <cstdint>

struct PadSurroundings {
  const char* nodePaths[2];  // tried in order, as Allegro's driver opens them; null: none
  int (*installJoystick)();  // install_joystick(JOY_TYPE_AUTODETECT)
  int64_t (*nowMs)();        // a monotonic clock in milliseconds
};

// Copies the struct (its paths must outlive their use); a null installer or clock stands for
// the system's, and nullptr restores all of the system's.
void setPadSurroundings(const PadSurroundings* surroundings);
