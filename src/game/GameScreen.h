// The game as a screen of the one screen loop: a tick is gameTick, a frame is drawGame.
#pragma once
#include <optional>

#include "game/GameState.h"

struct GameScreen {
  struct Result {};  // the game only ever returns to the main loop

  // The game ends when its own tick set leaveGame, or at once on Esc in any phase (after
  // the game-over delay the tick has already taken Esc to the high scores).
  std::optional<Result> tick();
  void draw();
  Result interrupted();
};
