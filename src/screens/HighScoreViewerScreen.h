// The high score viewer as an object: one mode's table per page, Left and Right to turn.
#pragma once
#include <cstdint>
#include <optional>
#include <variant>

struct BITMAP;

inline constexpr int kViewerPages = 3;

// One visit of the viewer; entering it plays "hs-menu.wav" and starts "LV02.MP3".
// Its two pictures belong to the caller and may be missing.
struct HighScoreViewerScreen {
  using Result = std::monostate;

  HighScoreViewerScreen(BITMAP* menuPicture, BITMAP* pageflipPicture, int16_t firstPage);

  std::optional<std::monostate> tick();
  void draw();
  std::monostate interrupted() { return {}; }

  BITMAP* menu;      // "menu.bmp"
  BITMAP* pageflip;  // "pageflip.bmp"
  int16_t viewerPage;
  bool inputHeld = true;
};
