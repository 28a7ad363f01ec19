// Whether Allegro's BMP loader reads a file's bytes into a whole picture: the headers it
// understands, every pixel they announce present, and nothing it would read or write past.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

// What the check makes of one picture. OtherBmpKind is a sound BMP of a kind Allegro's loader
// refuses (a 108- or 124-byte header, stored top-down, JPEG or PNG inside).
enum class BitmapFileState { Readable, Missing, Damaged, OtherBmpKind };

// Our largest picture is a 230454-byte 320x240 background: four times that is plenty.
inline constexpr std::size_t kMaxPictureBytes = std::size_t{1} << 20;
// No more pixels than a 24-bit file within that size holds, so that a small run-length or 1-bit
// file cannot ask the loader for a huge bitmap.
inline constexpr uint64_t kMaxPicturePixels = kMaxPictureBytes / 3;

BitmapFileState checkBitmapBytes(std::span<const uint8_t> file);
