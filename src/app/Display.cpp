#include "app/Display.h"

#include <allegro.h>

#include "app/DisplaySeam.h"
#include "gfx/Assets.h"

int16_t colorDepth = 0;
BITMAP* backBuffer = nullptr;

namespace {
// The drawing side (drawBuffer, sprites, backBuffer) always stays at this depth; the final
// blit to the screen converts when a full-screen mode runs at 32 bits.
constexpr int kDrawDepth = 16;
constexpr int kFullScreenDrivers[] = {GFX_XDGA2, GFX_XDGA2_SOFT, GFX_XWINDOWS_FULLSCREEN};

GfxModeSetter gfxModeSetter = set_gfx_mode;
}  // namespace

void setGfxModeSetter(GfxModeSetter setter) { gfxModeSetter = setter ? setter : set_gfx_mode; }

bool tryFullScreen(int depth, int width, int height) {
  request_refresh_rate(60);
  set_color_depth(depth);
  for (int driver : kFullScreenDrivers) {
    if (gfxModeSetter(driver, width, height, 0, 0) != -1) {
      colorDepth = static_cast<int16_t>(depth);
      return true;
    }
  }
  return false;
}

bool setDisplayMode(int width, int height, bool windowed) {
  if (windowed) {
    set_color_depth(16);
    colorDepth = 16;
    if (gfxModeSetter(GFX_XWINDOWS, width, height, 0, 0) == -1) return false;
  } else if (!tryFullScreen(16, width, height) && !tryFullScreen(32, width, height)) {
    allegro_message("Cannot set graphicsmode!");
    return false;
  }
  if (backBuffer) destroy_bitmap(backBuffer);
  backBuffer = create_bitmap_ex(kDrawDepth, 640, 480);
  return true;
}

void presentFrame() {
  if (!drawBuffer || !backBuffer) return;
  stretch_blit(drawBuffer, backBuffer, 0, 0, 320, 240, 0, 0, 640, 480);
  if (screen) blit(backBuffer, screen, 0, 0, 0, 0, 640, 480);
}
