// Placeholder screens until the front end lands: a window choice and a menu that quits on Esc.
#include <allegro.h>

#include <optional>

#include "app/ScreenLoop.h"
#include "gfx/Assets.h"
#include "screens/HighScoreViewer.h"
#include "screens/InitialsEntry.h"
#include "screens/MainMenu.h"
#include "screens/OptionsScreen.h"

int16_t lastInitials[3];

namespace {
struct StubMenu {
  using Result = MenuChoice;
  std::optional<MenuChoice> tick() {
    if (key[KEY_ESC]) return Quit;
    return std::nullopt;
  }
  void draw() {
    if (bgBmp) blit(bgBmp, drawBuffer, 0, 0, 0, 0, 320, 240);
  }
  MenuChoice interrupted() { return Quit; }
};
}  // namespace

DisplayChoice runOptionsScreen() { return Windowed; }
MenuChoice runMainMenu() {
  StubMenu menu;
  return runScreen(menu);
}
void runHighScoreViewer(int16_t) {}
bool insertHighScore() { return false; }
void runInitialsEntry(int16_t) {}
