// A picture file read once, by the rules every file the game reads follows, and checked; the
// loader then decodes those very bytes, never the path again.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "gfx/BmpCheck.h"

struct BITMAP;

struct PictureFile {
  std::string name;
  BitmapFileState state = BitmapFileState::Missing;
  // Why the file itself was refused (not a regular file, too large, unreadable: ...); empty
  // when it was read, and for a missing file.
  std::string refusal;
  std::vector<uint8_t> bytes;  // what was read; empty unless Readable
};

// Reads and checks the file, relative to the working folder. A pipe, a device or a folder is
// refused before anything can block on it.
PictureFile readPictureFile(const std::string& name);
// The same into picture, reusing the storage its bytes already have.
void readPictureFile(const std::string& name, PictureFile& picture);

// Decodes the bytes with Allegro's BMP loader into a bitmap of the given colour depth; null
// unless they pass the check (checking again costs little next to decoding).
BITMAP* decodePicture(std::span<const uint8_t> bytes, int depth);
