#include "app/Display.h"

#include <allegro.h>

#include <cstring>

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

namespace {
// The 2x stretch of two 16-bit memory bitmaps, pixel pairs written as one 32-bit word;
// several times faster than stretch_blit, which scales any ratio.
bool doubleFrame16(BITMAP* source, BITMAP* target) {
  if (bitmap_color_depth(source) != 16 || bitmap_color_depth(target) != 16 ||
      !is_memory_bitmap(source) || !is_memory_bitmap(target) || source->w < 320 ||
      source->h < 240 || target->w < 640 || target->h < 480)
    return false;
  for (int y = 0; y < 240; ++y) {
    const auto* in = reinterpret_cast<const uint16_t*>(source->line[y]);
    auto* out = reinterpret_cast<uint16_t*>(target->line[2 * y]);
    for (int x = 0; x < 320; ++x) {
      uint32_t pair = in[x] * 0x10001u;
      std::memcpy(out + 2 * x, &pair, sizeof pair);
    }
    std::memcpy(target->line[2 * y + 1], out, 640 * sizeof(uint16_t));
  }
  return true;
}
}  // namespace

void presentFrame() {
  if (!drawBuffer || !backBuffer) return;
  if (!doubleFrame16(drawBuffer, backBuffer))
    stretch_blit(drawBuffer, backBuffer, 0, 0, 320, 240, 0, 0, 640, 480);
  if (screen) blit(backBuffer, screen, 0, 0, 0, 0, 640, 480);
}
