// The game's thirteen sound effects, synthesized.
#pragma once
#include <string>
#include <vector>

struct Effect {
  std::string fileName;
  std::vector<float> samples;  // mono, 44100 Hz, peak below full scale
};

// All thirteen, in the order the game loads them.
std::vector<Effect> makeEffects();
