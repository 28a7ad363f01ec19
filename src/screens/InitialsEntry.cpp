// The high score entry: where a score goes in its table, and the screen that takes initials.
#include "screens/InitialsEntry.h"

#include <allegro.h>

#include "app/Input.h"
#include "app/ScreenLoop.h"
#include "audio/SoundBank.h"
#include "game/GameState.h"
#include "gfx/Assets.h"
#include "gfx/Draw.h"
#include "scores/HighScoreTable.h"
#include "screens/InitialsEntryScreen.h"
#include "screens/Picture.h"

int16_t lastInitials[3];

InitialsEntryScreen::InitialsEntryScreen(BITMAP* highscorePicture, int16_t rankShown)
    : highscore(highscorePicture), rank(rankShown) {
  playSample(SfxHighscore);
}

std::optional<Initials> InitialsEntryScreen::tick() {
  pollGamepad();
  if (confirmDown() && !inputHeld) {
    enteredLetters[lettersTaken] = letterCursor;
    ++lettersTaken;
    inputHeld = true;
    if (lettersTaken == 3) return enteredLetters;
  } else if (escapeDown() && !inputHeld) {
    enteredLetters = {kNoLetter, kNoLetter, kNoLetter};
    lettersTaken = 0;
    inputHeld = true;
  } else if (rightDown() && !inputHeld && letterCursor < kLastGlyph) {
    ++letterCursor;
    inputHeld = true;
  } else if (leftDown() && !inputHeld && letterCursor > 0) {
    --letterCursor;
    inputHeld = true;
  } else if (!confirmDown() && !escapeDown() && !leftDown() && !rightDown()) {
    inputHeld = false;
  }
  return std::nullopt;
}

Initials InitialsEntryScreen::interrupted() {
  Initials letters = enteredLetters;
  for (int slot = lettersTaken; slot < 3; ++slot) letters[slot] = 0;
  return letters;
}

void InitialsEntryScreen::draw() {
  if (bgBmp) blit(bgBmp, drawBuffer, 0, 0, 0, 0, 320, 240);
  if (highscore) {
    int w = highscore->w;
    maskedBlit(highscore, drawBuffer, 0, 0, (320 - w) / 2, 20, w, 32);
    maskedBlit(highscore, drawBuffer, 0, 32, 101, 66, w, 32);
  }
  maskedBlit(levelnBmp, drawBuffer, 32 * rank, 0, 192, 66, 32, 32);
  if (!alphaBmp) return;
  for (int slot = 0; slot < 3; ++slot) {
    int letter = enteredLetters[slot];
    if (letter >= 0 && letter <= kLastGlyph)
      maskedBlit(alphaBmp, drawBuffer, 32 * letter, 0, 112 + 32 * slot, 112, 32, 32);
  }
  // The glyph under the cursor stays in the middle cell; the strip scrolls beneath it.
  for (int d = -4; d <= 4; ++d) {
    int glyph = letterCursor + d;
    if (glyph < 0 || glyph > kLastGlyph) continue;
    maskedBlit(alphaBmp, drawBuffer, 32 * glyph, d == 0 ? 0 : 32, 144 + 32 * d, 160, 32, 32);
  }
}

void runInitialsEntry(int16_t rank) {
  Picture highscore = openPicture("highscore.bmp");
  InitialsEntryScreen screen(highscore.get(), rank);
  Initials letters = runScreen(screen);
  for (int slot = 0; slot < 3; ++slot) lastInitials[slot] = letters[slot];
}

bool insertHighScore() {
  int mode = gameState.mode;
  uint32_t score = gameState.score;
  int rank = highScoreRank(highScoreTable, mode, score);
  if (rank < 0) return false;
  runInitialsEntry(static_cast<int16_t>(rank));
  recordHighScore(mode, rank, score, lastInitials);
  return true;
}
