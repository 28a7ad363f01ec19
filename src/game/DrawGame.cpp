// One frame of the game screen: board, beam, cannon, the mode's panel, level, lives, combo and
// the pictures of the ready sequence and of the game's end.
#include <allegro.h>

#include <algorithm>

#include "game/GameState.h"
#include "gfx/Assets.h"
#include "gfx/Draw.h"

namespace {
constexpr int kCell = 32;
constexpr int kRestingBeam = 160;
constexpr int kFlashFrame = 4;
constexpr int kMaxLifeIcons = 4;
constexpr int kTenCell = 9;      // "leveln.bmp" cell showing the number 10
constexpr int kLevelCells = 10;  // levels 0 to 9 have a glyph of their own

bool isColour(int value) { return value >= 0 && value < kColors; }

void drawCell(BITMAP* sheet, int cellX, int cellY, int x, int y) {
  maskedBlit(sheet, drawBuffer, cellX, cellY, x, y, kCell, kCell);
}

void drawWhole(BITMAP* picture, int x, int y) {
  if (picture) maskedBlit(picture, drawBuffer, 0, 0, x, y, picture->w, picture->h);
}

void drawReadyPicture(BITMAP* picture) {
  if (picture) drawWhole(picture, (320 - picture->w) / 2, 60);
}

void drawCentred(BITMAP* picture) {
  if (picture) drawWhole(picture, (320 - picture->w) / 2, (240 - picture->h) / 2);
}
}  // namespace

void GameState::drawGame() const {
  if (!drawBuffer) return;
  if (playfieldBmp) blit(playfieldBmp, drawBuffer, 0, 0, 0, 0, 320, 240);

  switch (readyPicture) {
    case 1:
      drawReadyPicture(readyBmp);
      return;
    case 2:
      drawReadyPicture(goBmp);
      return;
    case 3:
      break;
    default:
      return;
  }

  if (beamIntensity > kRestingBeam)
    blendBlit(flashBmp, drawBuffer, kCell, kFlashFrame, kCell * column, 0, beamIntensity);
  else
    blendBlit(flashBmp, drawBuffer, kCell, color, kCell * column, 0, kRestingBeam);

  if (isColour(color)) drawCell(blocksBmp, kCell, kCell * color, kCell * column, 206);

  for (int r = 0; r < kBoardRows; ++r)
    for (int n = 0; n < kBoardColumns; ++n)
      if (isColour(field[r][n])) drawCell(blocksBmp, 0, kCell * field[r][n], kCell * n, kCell * r);

  switch (mode) {
    case Collect:
      for (int r = 0; r < kBinRows; ++r)
        for (int n = 0; n < kBinColumns; ++n)
          if (isColour(bin[r][n]))
            drawCell(blocksBmp, 0, kCell * bin[r][n], 160 + kCell * n, 32 + kCell * r);
      break;
    case Score:
      drawNumber(score, 176, 80);
      break;
    case TimeAttack:
      drawNumber(static_cast<uint32_t>(std::max<int>(secondsLeft, 0)), 208, 48);
      drawNumber(score, 208, 112);
      break;
    default:
      break;
  }

  drawWhole(levelBmp, 162, 3);
  // From the eleventh level on no single glyph fits, so the level is written out as a number.
  if (level >= 0 && level < kLevelCells)
    drawCell(levelnBmp, kCell * level, 0, 274, 3);
  else if (level >= kLevelCells)
    drawNumber(static_cast<uint32_t>(level) + 1, 274, 3);

  if (mode == Collect || mode == Score) {
    int icons = std::min<int>(lives, kMaxLifeIcons);
    for (int i = 0; i < icons; ++i) drawCell(lifeBmp, 0, 0, 169 + kCell * i, 196);
    if (comboTimer > 0 && combo >= 2) {
      drawWhole(comboBmp, 163, 162);
      drawCell(levelnBmp, kCell * std::min<int>(combo - 1, kTenCell), 0, 274, 162);
    }
  }

  if (endPicture == EndGameOver)
    drawCentred(gameoverBmp);
  else if (endPicture == EndSuperPlayer)
    drawCentred(superplayerBmp);
}
