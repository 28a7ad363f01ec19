// The walk of a BMP's run-length pixel stream (RLE8 or RLE4) that tells whether Allegro's
// decoder stays inside the bitmap it allocates and inside the bytes it was given.
#pragma once
#include <cstdint>
#include <span>

enum class RunLength { Rle8, Rle4 };

// True when every run, copied stretch and jump of the stream lands inside a width x height
// image, and the stream ends with its end-of-bitmap mark before the bytes do. The decoder does
// not check any of this: a run past a row's end writes into the next row or past the bitmap,
// and a file cut short reads as endless runs of 255.
bool runLengthFits(std::span<const uint8_t> stream, uint32_t width, uint32_t height,
                   RunLength kind);
