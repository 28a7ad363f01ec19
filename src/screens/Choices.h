// What the front-end screens return.
#pragma once
#include <cstdint>

enum DisplayChoice : int16_t { FullScreen = 0, Windowed = 1, QuitAtStart = 2 };
enum MenuChoice : int16_t {
  PlayCollect = 0,
  PlayScore = 1,
  PlayTimeAttack = 2,
  ShowHighScores = 3,
  Quit = 4
};
