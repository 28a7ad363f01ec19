// The main menu: cursor, choice, the F10 test score and the logo's pulse; one frame of it.
#include "screens/MainMenu.h"

#include <allegro.h>

#include "app/Input.h"
#include "app/ScreenLoop.h"
#include "audio/SoundBank.h"
#include "game/GameState.h"
#include "gfx/Assets.h"
#include "gfx/Draw.h"
#include "screens/InitialsEntry.h"
#include "screens/MainMenuScreen.h"
#include "screens/Picture.h"

namespace {
constexpr int16_t kPulseLow = 50;
constexpr int16_t kPulseHigh = 255;
}  // namespace

MainMenuScreen::MainMenuScreen(BITMAP* creditPicture, BITMAP* menuPicture)
    : credit(creditPicture), menu(menuPicture) {}

std::optional<MenuChoice> MainMenuScreen::tick() {
  pollGamepad();
  if (escapeDown() && !inputHeld) return Quit;
  if (confirmDown() && !inputHeld) {
    if (menuCursor != Quit) playSample(SfxBlock02);
    return static_cast<MenuChoice>(menuCursor);
  }

  if (upDown() && !inputHeld && menuCursor > 0) {
    playSample(SfxBlock01);
    --menuCursor;
    inputHeld = true;
  } else if (downDown() && !inputHeld && menuCursor < kMenuItems - 1) {
    playSample(SfxBlock01);
    ++menuCursor;
    inputHeld = true;
  } else if (key[KEY_F10]) {
    // A test path for the high score entry; it acts again on every tick F10 stays down.
    gameState.mode = Score;
    gameState.score = kF10Score;
    // The confirm that took the last letter is still down: it must not choose an item too.
    if (insertHighScore()) inputHeld = true;
  } else if (!escapeDown() && !confirmDown() && !downDown() && !upDown()) {
    inputHeld = false;
  }

  if (!logoPulseFalling) {
    if (++logoPulse == kPulseHigh) logoPulseFalling = true;
  } else {
    if (--logoPulse == kPulseLow) logoPulseFalling = false;
  }
  return std::nullopt;
}

void MainMenuScreen::draw() {
  if (bgBmp) blit(bgBmp, drawBuffer, 0, 0, 0, 0, 320, 240);
  if (credit)
    maskedBlit(credit, drawBuffer, 0, 0, (320 - credit->w) / 2, 208, credit->w, credit->h);
  if (logoBmp) blendBlit(logoBmp, drawBuffer, logoBmp->w, 0, 163, 116, logoPulse);
  if (menu) {
    int half = menu->w / 2;
    for (int item = 0; item < kMenuItems; ++item) {
      int sourceX = item == menuCursor ? 0 : half;
      maskedBlit(menu, drawBuffer, sourceX, 32 * item, 16, 16 + 32 * item, half, 32);
    }
  }
  drawShadowText(drawBuffer, "v1.1", 285, 5);
}

MenuChoice runMainMenu() {
  Picture credit = openPicture("kvelmar.bmp");
  Picture menu = openPicture("menu.bmp");
  MainMenuScreen screen(credit.get(), menu.get());
  return runScreen(screen);
}
