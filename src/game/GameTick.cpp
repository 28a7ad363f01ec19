// One 60 Hz step of the game: the ready sequence, play (input, row pushes or the clock, the
// shot's flash), the game-over wait that leads to the high scores, and the TimeAttack pause.
#include <allegro.h>

#include <algorithm>

#include "app/Input.h"
#include "audio/MusicPlayer.h"
#include "audio/SoundBank.h"
#include "game/GameState.h"
#include "screens/HighScoreViewer.h"
#include "screens/InitialsEntry.h"

namespace {
constexpr int16_t kReadyPictureTick = 60;
constexpr int16_t kGoPictureTick = 120;
constexpr int16_t kPlayTick = 180;
constexpr int16_t kLevelClearTicks = 80;
constexpr int16_t kMoveRepeat = 10;
constexpr int16_t kColorRepeat = 15;
constexpr int16_t kFireRepeat = 15;
constexpr int16_t kBeamFade = 10;
constexpr int16_t kLevelTimeStep = 10;
constexpr int16_t kShortestLevelTime = 10;

enum ReadyStage : int16_t { ShowPlayfield = 0, ShowReady = 1, ShowGo = 2, ShowGame = 3 };

void countDown(int16_t& repeat) {
  if (repeat > 0) --repeat;
}

// What the player holds in this tick; read once, so every step sees the same snapshot.
struct HeldInputs {
  bool left, right, up, down, fire;
};

HeldInputs readHeldInputs() {
  pollGamepad();
  return {leftDown(), rightDown(), upDown(), downDown(), key[KEY_SPACE] || padButton() >= 0};
}

void tickReady(GameState& game) {
  ++game.sequenceTicks;
  if (game.sequenceTicks == kReadyPictureTick) {
    playSample(SfxReadyGo);
    game.readyPicture = ShowReady;
  } else if (game.sequenceTicks == kGoPictureTick) {
    game.readyPicture = ShowGo;
  } else if (game.sequenceTicks >= kPlayTick) {
    game.readyPicture = ShowGame;
    game.phase = Playing;
    musicPlayer.playLevelMusic(game.level);
    if (game.mode == TimeAttack) game.fillBoard();
  }
}

// Returns false when Esc ends the tick here.
bool readPlayInput(GameState& game) {
  const HeldInputs held = readHeldInputs();
  if (held.left && game.leftRepeat == 0 && game.column > 0) {
    --game.column;
    game.leftRepeat = kMoveRepeat;
  }
  if (held.right && game.rightRepeat == 0 && game.column < kBoardColumns - 1) {
    ++game.column;
    game.rightRepeat = kMoveRepeat;
  }
  if (held.up && game.colorUpRepeat == 0) {
    game.color = static_cast<int16_t>((game.color + 1) % kColors);
    game.colorUpRepeat = kColorRepeat;
  }
  if (held.down && game.colorDownRepeat == 0) {
    game.color = static_cast<int16_t>((game.color + kColors - 1) % kColors);
    game.colorDownRepeat = kColorRepeat;
  }
  if (held.fire && game.fireRepeat == 0) {
    game.beamIntensity = kBeamFull;
    game.beamActive = 1;
    game.fireRepeat = kFireRepeat;
    game.resolveShot();
  }

  countDown(game.fireRepeat);
  countDown(game.colorUpRepeat);
  countDown(game.colorDownRepeat);
  countDown(game.rightRepeat);
  countDown(game.leftRepeat);

  // A released input acts again at once when pressed anew.
  if (!held.left) game.leftRepeat = 0;
  if (!held.right) game.rightRepeat = 0;
  if (!held.up) game.colorUpRepeat = 0;
  if (!held.down) game.colorDownRepeat = 0;
  if (!held.fire) game.fireRepeat = 0;

  if (key[KEY_ESC]) {
    game.leaveGame = 1;
    return false;
  }
  return true;
}

void runPushes(GameState& game) {
  countDown(game.comboTimer);
  if (--game.pushCountdown > 0) return;
  game.pushCountdown = levelSpeedFor(game.level);
  if (game.pushRow()) return;
  // The bottom row is taken: the board stays, the next try comes a full interval later.
  --game.lives;
  playSample(SfxDeath);
  if (game.lives <= 0) game.loseGame();
}

void runClock(GameState& game) {
  if (--game.secondTicks <= 0) {
    if (game.secondsLeft > 0) --game.secondsLeft;
    game.secondTicks = kTicksPerSecond;
  }
  if (game.secondsLeft > 0) return;
  playSample(SfxDeath);
  game.loseGame();
}

void runFlash(GameState& game) {
  if (game.beamActive != 1) return;
  game.beamIntensity = static_cast<int16_t>(game.beamIntensity - kBeamFade);
  if (game.beamIntensity < kBeamRest) {
    game.beamIntensity = kBeamRest;
    game.beamActive = 0;
  }
}

void tickPlaying(GameState& game) {
  // While the flash of a shot is on, no input is read and the countdowns stand still.
  if (game.beamActive == 0 && !readPlayInput(game)) return;
  // A shot that ended the game or cleared the board leaves no life or second to lose in
  // this tick: the pushes and the clock belong to play only.
  if (game.phase == Playing) {
    if (game.mode == TimeAttack)
      runClock(game);
    else
      runPushes(game);
  }
  runFlash(game);
}

void tickGameOver(GameState& game) {
  musicPlayer.fadeMusicStep();  // the fade runs at double speed here
  if (game.gameOverDelay > 0) {
    --game.gameOverDelay;
    return;
  }
  pollGamepad();
  if (!key[KEY_ESC] && !key[KEY_ENTER] && !key[KEY_SPACE] && padButton() < 0) return;
  // A Collect table receives the number of full bins plus one: the level shown on screen.
  if (game.mode == Collect) game.addScore(1);
  insertHighScore();
  runHighScoreViewer(game.mode);
  game.leaveGame = 1;
}

void tickLevelClear(GameState& game) {
  if (++game.sequenceTicks < kLevelClearTicks) return;
  game.addScore(static_cast<uint32_t>(game.level + 1) *
                static_cast<uint32_t>(std::max<int16_t>(game.secondsLeft, 0)));
  game.raiseLevel();
  game.levelTime = std::max<int16_t>(game.levelTime - kLevelTimeStep, kShortestLevelTime);
  game.secondTicks = kTicksPerSecond;
  game.secondsLeft = game.levelTime;
  // sequenceTicks stays at 80: the ready sequence goes on from there, without "ready.bmp".
  game.phase = Ready;
}
}  // namespace

void GameState::gameTick() {
  musicPlayer.fadeMusicStep();
  switch (phase) {
    case Ready:
      tickReady(*this);
      break;
    case Playing:
      tickPlaying(*this);
      break;
    case GameOver:
      tickGameOver(*this);
      break;
    case LevelClear:
      tickLevelClear(*this);
      break;
    default:
      break;
  }
}
