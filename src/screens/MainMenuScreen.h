// The main menu as an object: five items, the pulsing logo, and the F10 test score.
#pragma once
#include <cstdint>
#include <optional>

#include "screens/Choices.h"

struct BITMAP;

inline constexpr int kMenuItems = 5;
inline constexpr uint32_t kF10Score = 50000;

// One visit of the menu; its two pictures belong to the caller and may be missing.
struct MainMenuScreen {
  using Result = MenuChoice;

  MainMenuScreen(BITMAP* creditPicture, BITMAP* menuPicture);

  std::optional<MenuChoice> tick();
  void draw();
  MenuChoice interrupted() { return Quit; }

  BITMAP* credit;  // "kvelmar.bmp"
  BITMAP* menu;    // "menu.bmp"
  int16_t menuCursor = 0;
  bool inputHeld = true;
  int16_t logoPulse = 254;
  bool logoPulseFalling = false;
};
