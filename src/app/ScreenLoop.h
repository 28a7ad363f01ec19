// The one loop shape every screen (and the game) runs in.
#pragma once
#include "app/Clock.h"
#include "app/Display.h"
#include "app/QuitRequest.h"
#include "audio/SoundLibrary.h"

// A Screen has tick() -> std::optional<Result> (one 60 Hz logic step, which may finish
// the screen), draw() (one frame into drawBuffer) and interrupted() -> Result (how it
// leaves when the program is asked to quit). A tick that finishes the screen stays in
// pendingTicks for the next loop.
template <class Screen>
typename Screen::Result runScreen(Screen& screen) {
  for (;;) {
    while (pendingTicks.load() > 0) {
      keepSoundInStep();  // a sound server that went or came back
      if (auto result = screen.tick()) return *result;
      pendingTicks.fetch_sub(1);
    }
    if (quitRequested()) return screen.interrupted();
    screen.draw();
    presentFrame();
  }
}
