// The start-up options screen: window or full screen, and the music, effects and pad switches.
#pragma once
#include <cstdint>
#include <optional>

#include "screens/Choices.h"

struct BITMAP;

DisplayChoice runOptionsScreen();

// One visit of the screen; its two pictures belong to the caller and may be missing.
struct OptionsScreen {
  using Result = DisplayChoice;

  OptionsScreen(BITMAP* loaderPicture, BITMAP* gamepadPicture);

  std::optional<DisplayChoice> tick();
  void draw();
  DisplayChoice interrupted() { return QuitAtStart; }

  BITMAP* loader;   // "LOADER.BMP"
  BITMAP* gamepad;  // "GAMEPAD.BMP"
  int16_t displayChoice = 0;
  bool inputHeld = true;
  bool jKeyHeld = false;  // J switches the pad on its own edge, whatever inputHeld says
  bool gamepadNoticeShown = false;
  bool musicNoticeShown = false;
  bool soundNoticeShown = false;
};
