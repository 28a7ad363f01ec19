// The high score viewer: page turning and leaving, and one frame of a mode's table.
#include "screens/HighScoreViewer.h"

#include <allegro.h>

#include <algorithm>

#include "app/Input.h"
#include "app/ScreenLoop.h"
#include "audio/MusicPlayer.h"
#include "audio/SoundBank.h"
#include "gfx/Assets.h"
#include "gfx/Draw.h"
#include "scores/HighScoreTable.h"
#include "screens/HighScoreViewerScreen.h"
#include "screens/Picture.h"

HighScoreViewerScreen::HighScoreViewerScreen(BITMAP* menuPicture, BITMAP* pageflipPicture,
                                             int16_t firstPage)
    : menu(menuPicture),
      pageflip(pageflipPicture),
      // The page indexes the tables, so a stray mode must not reach past them.
      viewerPage(std::clamp<int16_t>(firstPage, 0, kViewerPages - 1)) {
  playSample(SfxHsMenu);
  musicPlayer.openMusic("LV02.MP3", true);
  musicPlayer.playMusic();
}

std::optional<std::monostate> HighScoreViewerScreen::tick() {
  pollGamepad();
  if ((confirmDown() || escapeDown()) && !inputHeld) return std::monostate{};
  if (leftDown() && !inputHeld && viewerPage > 0) {
    --viewerPage;
    inputHeld = true;
  } else if (rightDown() && !inputHeld && viewerPage < kViewerPages - 1) {
    ++viewerPage;
    inputHeld = true;
  } else if (!escapeDown() && !confirmDown() && !rightDown() && !leftDown()) {
    inputHeld = false;
  }
  return std::nullopt;
}

void HighScoreViewerScreen::draw() {
  if (bgBmp) blit(bgBmp, drawBuffer, 0, 0, 0, 0, 320, 240);
  if (menu) {
    int half = menu->w / 2;
    maskedBlit(menu, drawBuffer, 0, 96, 16, 16, half, 32);
    maskedBlit(menu, drawBuffer, 0, 32 * viewerPage, 16, 48, half, 32);
  }
  if (pageflip) {
    int half = pageflip->w / 2;
    int height = pageflip->h;
    if (viewerPage > 0) maskedBlit(pageflip, drawBuffer, 0, 0, 5, 240 - height, half, height);
    if (viewerPage < kViewerPages - 1)
      maskedBlit(pageflip, drawBuffer, half, 0, 315 - half, 240 - height, half, height);
  }
  for (int rank = 0; rank < kRanks; ++rank) {
    const HighScoreEntry& entry = highScoreTable.entries[viewerPage][rank];
    int y = 96 + 32 * rank;
    maskedBlit(levelnBmp, drawBuffer, 32 * rank, 0, 32, y, 32, 32);
    if (alphaBmp) {
      maskedBlit(alphaBmp, drawBuffer, 0, 0, 64, y, 32, 32);
      for (int k = 0; k < kLetters; ++k) {
        int letter = entry.letters[k];
        // A file may hold any index its checksum covers; only real glyphs are drawn.
        if (letter >= 0 && letter < kGlyphs)
          maskedBlit(alphaBmp, drawBuffer, 32 * letter, 32, 96 + 24 * k, y, 32, 32);
      }
    }
    drawNumber(entry.score, 184, y);
  }
}

void runHighScoreViewer(int16_t firstPage) {
  Picture menu = openPicture("menu.bmp");
  Picture pageflip = openPicture("pageflip.bmp");
  HighScoreViewerScreen screen(menu.get(), pageflip.get(), firstPage);
  runScreen(screen);
}
