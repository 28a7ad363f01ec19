// A screen's own picture, loaded on entry and destroyed when the screen returns.
#pragma once
#include <allegro.h>

#include <memory>

#include "gfx/Assets.h"

struct PictureDeleter {
  void operator()(BITMAP* bitmap) const {
    if (bitmap) destroy_bitmap(bitmap);
  }
};

using Picture = std::unique_ptr<BITMAP, PictureDeleter>;

inline Picture openPicture(const char* fileName) { return Picture(loadPicture(fileName)); }
