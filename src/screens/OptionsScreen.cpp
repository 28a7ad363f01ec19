// The start-up options screen: one tick reads the keys, one frame shows rows and notices.
#include "screens/OptionsScreen.h"

#include <allegro.h>

#include "app/Input.h"
#include "app/PadHotplug.h"
#include "app/ScreenLoop.h"
#include "app/Settings.h"
#include "audio/SoundBank.h"
#include "gfx/Assets.h"
#include "gfx/Draw.h"
#include "screens/Picture.h"

OptionsScreen::OptionsScreen(BITMAP* loaderPicture, BITMAP* gamepadPicture)
    : loader(loaderPicture), gamepad(gamepadPicture) {}

std::optional<DisplayChoice> OptionsScreen::tick() {
  pollGamepad();
  if (key[KEY_ESC] && !inputHeld) return QuitAtStart;
  // A confirm still down from start-up chooses at once: it is not held back.
  if (confirmDown()) {
    playSample(SfxBlock02);
    return static_cast<DisplayChoice>(displayChoice);
  }

  // Each effect sounds before its flag flips, so switching effects off is still heard.
  if ((upDown() || downDown()) && !inputHeld) {
    playSample(SfxBlock01);
    displayChoice = displayChoice == 0 ? 1 : 0;
    inputHeld = true;
  } else if (key[KEY_M] && !inputHeld) {
    playSample(SfxBlock04);
    musicNoticeShown = true;
    musicEnabled = !musicEnabled;
    inputHeld = true;
  } else if (key[KEY_S] && !inputHeld) {
    playSample(SfxBlock04);
    soundNoticeShown = true;
    soundEnabled = !soundEnabled;
    inputHeld = true;
  } else if (key[KEY_J] && !jKeyHeld) {
    playSample(SfxBlock04);
    gamepadNoticeShown = true;
    jKeyHeld = true;
    switchGamepad();
  }

  if (!key[KEY_J]) jKeyHeld = false;
  // Read again: a pad just switched off no longer holds anything down.
  if (!upDown() && !downDown() && !key[KEY_M] && !key[KEY_S]) inputHeld = false;
  return std::nullopt;
}

void OptionsScreen::draw() {
  if (bgBmp) blit(bgBmp, drawBuffer, 0, 0, 0, 0, 320, 240);
  if (loader) {
    int w = loader->w;
    int half = w / 2;
    maskedBlit(loader, drawBuffer, 0, 64, (320 - w) / 2, 35, w, 32);
    for (int row = 0; row < 2; ++row) {
      int sourceX = row == displayChoice ? 0 : half;
      maskedBlit(loader, drawBuffer, sourceX, 32 * row, (320 - half) / 2, 100 + 32 * row, half, 32);
    }
  }
  if (gamepad) {
    int gw = gamepad->w;
    maskedBlit(gamepad, drawBuffer, 0, 0, 5, 206, gw, 32);
    maskedBlit(gamepad, drawBuffer, 0, gamepadEnabled ? 32 : 64, 101, 206, gw, 32);
  }
  if (gamepadNoticeShown)
    drawShadowText(drawBuffer, gamepadEnabled ? "Enable gamepad" : "Disable gamepad", 5, 5);
  if (musicNoticeShown)
    drawShadowText(drawBuffer, musicEnabled ? "Enable music" : "Disable music", 5, 15);
  if (soundNoticeShown)
    drawShadowText(drawBuffer, soundEnabled ? "Enable sound FX" : "Disable sound FX", 5, 25);
}

DisplayChoice runOptionsScreen() {
  Picture loader = openPicture("LOADER.BMP");
  Picture gamepad = openPicture("GAMEPAD.BMP");
  OptionsScreen screen(loader.get(), gamepad.get());
  return runScreen(screen);
}
